#include "platform/ErrorReport.h"

#include "platform/RuntimeError.h"

#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {
std::function<void(const std::exception&)>& Handler() {
    static std::function<void(const std::exception&)> handler;
    return handler;
}
}  // namespace

void SetUnhandledErrorHandler(std::function<void(const std::exception&)> handler) {
    Handler() = std::move(handler);
}

void ReportUnhandledError(const std::exception& error) {
    if (Handler()) {
        Handler()(error);
    }
    const auto* rt = dynamic_cast<const RuntimeError*>(&error);
    const int number = rt ? rt->Number() : 51;  // 51: internal error
    const QString text = QStringLiteral("Run-time error '%1':\n\n%2")
                             .arg(number)
                             .arg(QString::fromUtf8(error.what()));
    std::fprintf(stderr, "%s\n", qPrintable(text));
    if (QApplication::instance() != nullptr) {
        QMessageBox::critical(nullptr, QApplication::applicationName(), text);
    }
    std::_Exit(1);
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ReportUnhandledError(e);
    }
}

}  // namespace platform
