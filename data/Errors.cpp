#include "data/Errors.h"

using namespace Qt::Literals::StringLiterals;

// Not inlined, so that the return address is the code that constructed the error.
__attribute__((noinline)) VardometerError::VardometerError(QString message)
    : m_message(std::move(message))
    , m_utf8(m_message.toUtf8())
    , m_raiseAddress(__builtin_return_address(0))
{
}

void raiseConversionError(const QString& fromType, const QString& toType)
{
    throw ConversionError(
        u"Could not convert variant of type (%1) into type (%2)"_s.arg(fromType, toType));
}

void raiseIntegerOverflow()
{
    throw IntegerOverflowError(u"Integer overflow"_s);
}
