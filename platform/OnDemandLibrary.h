#pragma once

#include <QLibrary>
#include <QString>

// A shared library opened when a program first needs it instead of at every start. Mail and
// SSH each pull in a score of libraries that a run over local disks never touches, and
// loading those is most of the start-up time of a short command run from cron.
class OnDemandLibrary {
public:
    OnDemandLibrary(const QString& name, int majorVersion)
        : m_library(name, majorVersion)
    {
        if (!m_library.load())
            m_error = m_library.errorString();
    }

    // Points target at the library's function of that name; a missing one is remembered.
    template <typename Function> void resolve(Function& target, const char* symbol)
    {
        target =
            m_error.isEmpty() ? reinterpret_cast<Function>(m_library.resolve(symbol)) : nullptr;
        if (!target && m_error.isEmpty())
            m_error = m_library.errorString();
    }

    // Empty when the library and every function asked for so far were found.
    const QString& error() const { return m_error; }

private:
    QLibrary m_library;
    QString m_error;
};

// What a loader of such a library hands out: its functions, or nullptr with the reason why
// they could not be had in *whyNot.
template <typename Api>
const Api* functionsOrReason(const Api& api, const QString& failure, QString* whyNot)
{
    if (failure.isEmpty())
        return &api;
    if (whyNot)
        *whyNot = failure;
    return nullptr;
}
