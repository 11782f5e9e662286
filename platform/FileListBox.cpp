#include "platform/FileListBox.h"

#include "common/Units.h"
#include "platform/Form.h"

#include <QDir>

namespace platform {

FileListBox::FileListBox(Form* form, const QString& name)
    : QListWidget(form->Client()), form_(form) {
    setObjectName(name);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        selectedByPress_ = true;
        if (row >= 0 && onClick) {
            onClick();
        }
    });
    // A click on the name already selected raises the event again.
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem*) {
        if (!selectedByPress_ && onClick) {
            onClick();
        }
    });
}

void FileListBox::mousePressEvent(QMouseEvent* event) {
    selectedByPress_ = false;
    QListWidget::mousePressEvent(event);
}

void FileListBox::SetPath(const QString& path) {
    path_ = path;
    Refresh();
}

void FileListBox::SetPattern(const QString& pattern) {
    pattern_ = pattern;
    Refresh();
}

QString FileListBox::FileName() const {
    const QListWidgetItem* item = currentItem();
    return item != nullptr ? item->text() : QString();
}

void FileListBox::Refresh() {
    const QSignalBlocker quiet(this);
    clear();
    // Patterns match without regard to case, as on the desktop where these names come from.
    const QDir dir(path_, pattern_, QDir::Name | QDir::IgnoreCase, QDir::Files);
    if (path_.isEmpty() || !dir.exists()) {
        return;
    }
    addItems(dir.entryList());
}

bool FileListBox::Move(double left, double top, double width, double height) {
    const std::optional<QRect> rect = units::TwipsRectToPixels(
        {static_cast<float>(left), top, width, height}, form_->TwipsPerPixel());
    if (rect) {
        setGeometry(*rect);
    }
    return rect.has_value();
}

}  // namespace platform
