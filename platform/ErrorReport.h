#pragma once
// The boundary where an unhandled error is reported and ends the program.
#include <QApplication>
#include <exception>
#include <functional>

namespace platform {

// Shows the "Run-time error" box for the error, then ends the process with a non-zero code.
[[noreturn]] void ReportUnhandledError(const std::exception& error);

// Tests replace the report (which would end the test process); pass {} to restore it.
void SetUnhandledErrorHandler(std::function<void(const std::exception&)> handler);

// Routes every exception that leaves an event handler to the report.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace platform
