#include "BRX_Logic_ConverterBase.h"

#include "BRX_Debug.h"

#include <QCoreApplication>

BRX_Logic_ConverterBase::BRX_Logic_ConverterBase() = default;

BRX_Logic_ConverterBase::~BRX_Logic_ConverterBase() = default;

const QStringList& BRX_Logic_ConverterBase::texts() const
{
    return m_texts;
}

QString BRX_Logic_ConverterBase::text(int index) const
{
    return m_texts.value(index);
}

double BRX_Logic_ConverterBase::valueOf(const QString& text) const
{
    const int index = m_texts.indexOf(text);
    return index < 0 ? -1.0 : valueAt(index);
}

QString BRX_Logic_ConverterBase::textOf(double value) const
{
    const int count = valueCount();
    for (int index = 0; index < count; ++index) {
        if (valueAt(index) == value)
            return text(index);
    }
    return QString();
}

QVector<double> BRX_Logic_ConverterBase::values() const
{
    QVector<double> result(valueCount());
    for (int index = 0; index < result.size(); ++index)
        result[index] = valueAt(index);
    return result;
}

double BRX_Logic_ConverterBase::minValue() const
{
    return valueCount() > 0 ? valueAt(0) : 0.0;
}

double BRX_Logic_ConverterBase::maxValue() const
{
    return valueCount() > 0 ? valueAt(valueCount() - 1) : 0.0;
}

void BRX_Logic_ConverterBase::fillValuesWithIndices()
{
    m_values.resize(m_texts.size());
    for (int index = 0; index < m_values.size(); ++index)
        m_values[index] = index;
}

void BRX_Logic_ConverterBase::loadTable(const Table& table, const char* title)
{
    // The concrete class is the translation context, as its own tr() would use.
    const char* context = metaObject()->className();
    clearTable();
    for (int index = 0; index < table.count; ++index) {
        const Row& row = table.rows[index];
        m_texts.append(title ? QCoreApplication::translate(context, row.text, title)
                             : QString::fromUtf8(row.text));
        if (!table.valueIsIndex)
            m_values.append(row.value);
    }
}

void BRX_Logic_ConverterBase::clearTable()
{
    m_texts = QStringList();
    m_values.clear();
}

const BRX_Logic_ConverterBase::Table* BRX_Logic_ConverterBase::findTable(int productId,
                                                                         const ProductTable* tables,
                                                                         int count)
{
    for (int index = 0; index < count; ++index) {
        if (tables[index].productId == productId)
            return &tables[index].table;
    }
    return nullptr;
}

void BRX_Logic_ConverterBase::loadProductTable(int productId, const Table* table, const char* title,
                                               const char* caller)
{
    if (table) {
        loadTable(*table, title);
        return;
    }
    clearTable();
    debugPrint(kDebugAlways, "%s - unknown ProductId 0x%X", caller, productId);
}

double BRX_Logic_ConverterBase::valueAt(int index) const
{
    return index < m_values.size() ? m_values.at(index) : double(index);
}

int BRX_Logic_ConverterBase::valueCount() const
{
    return m_values.isEmpty() ? m_texts.size() : m_values.size();
}
