#include "app/ApplicationError.h"
#include "app/Program.h"
#include "app/VardometerApplication.h"
#include "data/DM2.h"

#include <memory>

int main(int argc, char** argv)
{
    VardometerApplication app(argc, argv);
    std::unique_ptr<Program> program;
    try {
        program = std::make_unique<Program>(TDMVardometer::defaultFileName(),
                                            VardometerApplication::arguments().mid(1));
    } catch (const std::exception& e) {
        showApplicationError(e);
        return 1;
    }
    const int status = VardometerApplication::exec();
    program.reset();
    return status;
}
