#include "qt_notifier.h"

#include <QApplication>
#include <QMessageBox>

namespace {
QString fromUtf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// The two-line texts break with a carriage return, which a Qt label draws
// on one line; Qt breaks lines at '\n'.
QString boxText(const std::string& s)
{
    return fromUtf8(s).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// A box waits for the operator, not for the bus: the normal pointer while it is open.
class NormalPointer {
public:
    NormalPointer() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~NormalPointer() { QApplication::restoreOverrideCursor(); }
    NormalPointer(const NormalPointer&) = delete;
    NormalPointer& operator=(const NormalPointer&) = delete;
};
} // namespace

QtNotifier::QtNotifier(QWidget* window)
    : window_(window)
{
}

void QtNotifier::notice(const std::string& text, const std::string& caption)
{
    // No owner window: the box stands on its own, as the transactions expect.
    QMessageBox box(QMessageBox::NoIcon, fromUtf8(caption), boxText(text), QMessageBox::Ok);
    NormalPointer pointer;
    box.exec();
}

void QtNotifier::errorDialog(const std::string& text, const std::string& caption)
{
    NormalPointer pointer;
    QMessageBox::critical(window_, fromUtf8(caption), boxText(text), QMessageBox::Ok);
}

bool QtNotifier::question(const std::string& text, const std::string& caption)
{
    QMessageBox box(QMessageBox::NoIcon, fromUtf8(caption), boxText(text),
                    QMessageBox::Ok | QMessageBox::Cancel, window_);
    box.setWindowModality(Qt::WindowModal);
    box.setDefaultButton(QMessageBox::Ok);
    NormalPointer pointer;
    return box.exec() == QMessageBox::Ok;
}

void QtNotifier::beep()
{
    QApplication::beep();
}
