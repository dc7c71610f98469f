#ifndef BRX_LOGIC_CONVERTERBASE_H
#define BRX_LOGIC_CONVERTERBASE_H

#include <QObject>
#include <QStringList>
#include <QVector>

// Maps the choices of one camera setting to display texts and values, in the
// order in which they are offered. Index i of texts() is the "index" of a
// choice. Either the table stores no values (a choice's value is its index)
// or exactly one value per text. Lookups that miss give -1.0 or an empty text.
// Used on the controller thread only.
class BRX_Logic_ConverterBase : public QObject
{
    Q_OBJECT
public:
    // One row of a table as written in the source: untranslated text and value.
    struct Row
    {
        const char* text;
        double value = 0.0; // unused in tables whose value is the index
    };

    // Rows in list order. valueIsIndex: the converter stores no values.
    struct Table
    {
        const Row* rows;
        int count;
        bool valueIsIndex;
    };

    // Assigns a table to one ProductId; several ids may share one table.
    struct ProductTable
    {
        int productId;
        Table table;
    };

    BRX_Logic_ConverterBase();
    ~BRX_Logic_ConverterBase() override;

    const QStringList& texts() const;
    // texts()[index], or an empty text for an index out of range.
    QString text(int index) const;
    // Value of the first row whose text equals text exactly; -1.0 if none.
    double valueOf(const QString& text) const;
    // Text of the first row whose value equals value exactly; empty if none.
    QString textOf(double value) const;
    // The stored values, or the indices 0..n-1 when the table stores none.
    QVector<double> values() const;
    // First and last value; 0.0 for an empty converter.
    double minValue() const;
    double maxValue() const;
    // Stores the indices 0..n-1 as values, one per text.
    void fillValuesWithIndices();

    template <int N>
    static constexpr Table table(const Row (&rows)[N])
    {
        return Table{rows, N, false};
    }
    template <int N>
    static constexpr Table indexTable(const Row (&rows)[N])
    {
        return Table{rows, N, true};
    }

protected:
    // Replaces the table. Each text goes through tr() of the concrete class
    // with title as disambiguation; a null title keeps the texts plain.
    void loadTable(const Table& table, const char* title);
    void clearTable();

    // The table of productId, or null when the list has none.
    template <int N>
    static const Table* findTable(int productId, const ProductTable (&tables)[N])
    {
        return findTable(productId, tables, N);
    }
    // Loads the table of productId; an unknown id empties the converter and
    // logs under caller's label.
    template <int N>
    void loadProductTable(int productId, const ProductTable (&tables)[N], const char* title,
                          const char* caller)
    {
        loadProductTable(productId, findTable(productId, tables, N), title, caller);
    }

private:
    static const Table* findTable(int productId, const ProductTable* tables, int count);
    void loadProductTable(int productId, const Table* table, const char* title, const char* caller);
    double valueAt(int index) const;
    int valueCount() const;

    QStringList m_texts;
    QVector<double> m_values;
};

#endif
