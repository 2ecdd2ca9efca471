#include <QApplication>
#include <QIcon>

#include "session.h"
#include "tform1.h"

int main(int argc, char* argv[])
{
    // The window is laid out in pixels at 96 dpi and must not grow with the
    // desktop's scale factor; Qt reads this switch only at start-up.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/pictures/icon_program.ico")));
    TForm1 form;
    Session session(form);
    form.show();
    // Without a window manager (a bare X server) nobody activates the window,
    // and start-up waits for its first activation.
    form.activateWindow();
    return app.exec();
}
