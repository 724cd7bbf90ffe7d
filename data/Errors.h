#pragma once

#include <QString>

#include <exception>

// Every failure the program reports is one of these. The message is what the user sees,
// worded as the program has always worded it; the class name and the address of the
// throw site feed the "Application Error" report of a failed start.
class VardometerError : public std::exception {
public:
    explicit VardometerError(QString message);

    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }
    virtual const char* className() const noexcept { return "VardometerError"; }
    const void* raiseAddress() const noexcept { return m_raiseAddress; }

private:
    QString m_message;
    QByteArray m_utf8;
    const void* m_raiseAddress;
};

#define VARDOMETER_ERROR_CLASS(Name, Base)                                                         \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
        const char* className() const noexcept override { return #Name; }                          \
    }

// A database, dataset or field refused what was asked of it.
VARDOMETER_ERROR_CLASS(DatabaseError, VardometerError);
// A value could not be turned into the type asked for (an empty value read as a number...).
VARDOMETER_ERROR_CLASS(ConversionError, VardometerError);
// A whole-number figure went past the range of its type.
VARDOMETER_ERROR_CLASS(IntegerOverflowError, VardometerError);
// A floating-point step had no defined result (division of zero by zero and the like).
VARDOMETER_ERROR_CLASS(FloatingPointError, VardometerError);

// "Could not convert variant of type (Null) into type (Integer)"
[[noreturn]] void raiseConversionError(const QString& fromType, const QString& toType);
[[noreturn]] void raiseIntegerOverflow();
