#include "core/partitionsumtable.h"

#include <utility>

PartitionSumTable::PartitionSumTable(std::initializer_list<double> values)
    : PartitionSumTable(std::vector<double>(values))
{
}

PartitionSumTable::PartitionSumTable(std::vector<double> values)
{
    auto held = std::make_shared<const std::vector<double>>(std::move(values));
    m_values = held->data();
    m_count = held->size();
    m_owner = std::move(held);
}

PartitionSumTable::PartitionSumTable(std::shared_ptr<const void> owner, const double *values, std::size_t count)
    : m_owner(std::move(owner))
    , m_values(values)
    , m_count(count)
{
}

void PartitionSumTable::assign(std::size_t count, double value)
{
    *this = PartitionSumTable(std::vector<double>(count, value));
}
