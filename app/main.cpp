#include "app/ApplicationError.h"
#include "app/Program.h"
#include "app/VardometerApplication.h"
#include "data/DatabaseLocation.h"
#include "data/Errors.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr const char* Usage = "usage: vardometer [--user | --database FILE] [d]\n"
                              "       vardometer --help | --version\n";

// Answered before the application object exists, so they work without a display.
bool answeredAtOnce(int argc, char** argv, int* status)
{
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(Usage, stdout);
    } else if (std::strcmp(argv[1], "--version") == 0) {
        std::fputs("vardometer " VARDOMETER_VERSION "\n", stdout);
    } else {
        return false;
    }
    *status = std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 2;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (int status = 0; answeredAtOnce(argc, argv, &status))
        return status;
    VardometerApplication app(argc, argv);
    std::unique_ptr<Program> program;
    try {
        QStringList arguments = VardometerApplication::arguments().mid(1);
        QString error;
        const auto choice = DatabaseLocation::takeFrom(arguments, {}, &error);
        if (!choice) {
            std::fprintf(stderr, "vardometer: %s\n%s", qPrintable(error), Usage);
            return 2;
        }
        // The menu entry starts the user's own database and makes it on the very first start.
        const bool perUser = choice->kind == DatabaseLocation::Kind::PerUser;
        if (perUser)
            DatabaseLocation::preparePerUserFolder();
        program = std::make_unique<Program>(DatabaseLocation::fileOf(*choice), arguments,
                                            perUser ? Program::MissingDatabase::CreateDemo
                                                    : Program::MissingDatabase::Refuse);
    } catch (const std::exception& e) {
        showApplicationError(e);
        return 1;
    }
    const int status = VardometerApplication::exec();
    program.reset();
    return status;
}
