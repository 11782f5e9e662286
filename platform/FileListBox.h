#pragma once
// A list of the file names in a folder that match a pattern, sorted by name.
#include <QListWidget>
#include <functional>

namespace platform {

class Form;

class FileListBox : public QListWidget {
    Q_OBJECT
public:
    FileListBox(Form* form, const QString& name);

    // Setting the folder or the pattern lists the folder again; an unreadable folder lists nothing.
    void SetPath(const QString& path);
    QString Path() const { return path_; }
    void SetPattern(const QString& pattern);
    QString Pattern() const { return pattern_; }
    // The selected name, without folder; empty when nothing is selected.
    QString FileName() const;
    bool Move(double left, double top, double width, double height);

    // Raised when a name is clicked or selected with the keyboard.
    std::function<void()> onClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void Refresh();

    Form* form_;
    QString path_;
    QString pattern_ = QStringLiteral("*.*");
    bool selectedByPress_ = false;
};

}  // namespace platform
