// A value that is empty, a number or a text, as the criteria fields 6-12 and a few
// flags of the shared state hold it. Empty counts as 0 in numeric use and as "" in
// text use.
#pragma once
#include <QString>

#include <variant>

namespace tobrel {

class Variant {
public:
    Variant() = default;
    Variant(double number) : m_value(number) {}
    Variant(int number) : m_value(static_cast<double>(number)) {}
    Variant(const QString &text) : m_value(text) {}

    bool isEmpty() const { return std::holds_alternative<std::monostate>(m_value); }
    bool isNumber() const { return std::holds_alternative<double>(m_value); }
    bool isText() const { return std::holds_alternative<QString>(m_value); }

    // Numeric value: empty gives 0, a text gives its leading number (0 when none).
    double toNumber() const;
    // Text value: empty gives "", a number its shortest decimal form.
    QString toText() const;

    bool operator==(const Variant &other) const { return m_value == other.m_value; }

private:
    std::variant<std::monostate, double, QString> m_value;
};

} // namespace tobrel
