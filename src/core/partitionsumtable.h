#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <vector>

// Q(T) of one isotopologue at one-kelvin steps: numbers of its own, or numbers
// held elsewhere (the compact file of all the tables, mapped into memory) that
// stay alive as long as a table refers to them. Copies share the numbers.
class PartitionSumTable
{
public:
    PartitionSumTable() = default;
    PartitionSumTable(std::initializer_list<double> values);
    explicit PartitionSumTable(std::vector<double> values);
    // `count` numbers at `values`, kept alive by `owner`.
    PartitionSumTable(std::shared_ptr<const void> owner, const double *values, std::size_t count);

    void assign(std::size_t count, double value);
    void clear() { *this = PartitionSumTable(); }

    std::size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    double operator[](std::size_t index) const { return m_values[index]; }
    double front() const { return m_values[0]; }
    double back() const { return m_values[m_count - 1]; }
    const double *data() const { return m_values; }

    // The value `offset` steps (kelvin) after the first: the entry itself at a
    // whole step; between entries the 4-point Lagrange polynomial through the two
    // entries on each side, or in the first and the last interval, where one side
    // has a single entry, the 3-point one through the three end entries (the
    // scheme the tables are published with). Within half a step beyond either end
    // the end polynomial goes on; farther out the value at that half step serves.
    // Not for an empty table.
    double interpolated(double offset) const;
    const double *begin() const { return m_values; }
    const double *end() const { return m_values + m_count; }

private:
    std::shared_ptr<const void> m_owner;
    const double *m_values = nullptr;
    std::size_t m_count = 0;
};
