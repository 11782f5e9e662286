// Start-up: the windowing layer, then Main. Reads no command line.
#include "app/modDuvix.h"
#include "platform/ErrorReport.h"
#include "platform/Form.h"

int main(int argc, char** argv) {
    // The toolkit would take its own switches (-platform, -style...) from the command line:
    // it gets the program's name only.
    static char fallbackName[] = "duvix";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    platform::Application app(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Duvix"));
    QGuiApplication::setDesktopFileName(QStringLiteral("duvix"));
    // A hidden but loaded window keeps the program alive; the last unload ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::Form::SetOnLastFormUnloaded([] { QCoreApplication::exit(0); });
    try {
        modDuvix::Main();
    } catch (const std::exception& e) {
        platform::ReportUnhandledError(e);
    }
    if (platform::Form::LoadedFormCount() == 0) {
        return 0;
    }
    return QApplication::exec();
}
