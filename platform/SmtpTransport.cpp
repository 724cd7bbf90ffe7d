#include "platform/SmtpTransport.h"

#include <utility>

std::unique_ptr<SmtpTransport> createCurlSmtpTransport();

namespace {
SmtpTransportOverride::Factory& overridingFactory()
{
    static SmtpTransportOverride::Factory factory;
    return factory;
}
} // namespace

std::unique_ptr<SmtpTransport> createSmtpTransport()
{
    if (overridingFactory())
        return overridingFactory()();
    return createCurlSmtpTransport();
}

SmtpTransportOverride::SmtpTransportOverride(Factory factory)
    : m_previous(std::exchange(overridingFactory(), std::move(factory)))
{
}

SmtpTransportOverride::~SmtpTransportOverride()
{
    overridingFactory() = std::move(m_previous);
}
