// The operator's boxes: which button answers what, owner and icon.
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "qt_notifier.h"

namespace {

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* owner = nullptr;
    QList<QMessageBox::StandardButton> buttons;
};

// Answers the next box that opens with `answer` and tells what it looked like.
void answerNextBox(QMessageBox::StandardButton answer, SeenBox& seen)
{
    QTimer::singleShot(0, [answer, &seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return answerNextBox(answer, seen);
        seen.caption = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.owner = box->parentWidget();
        for (QAbstractButton* b : box->buttons())
            seen.buttons << box->standardButton(b);
        box->button(answer)->click();
    });
}

} // namespace

class QtNotifierTest : public QObject {
    Q_OBJECT
private slots:
    void questionProceedsOnlyOnOk_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("proceeds");
        QTest::newRow("OK") << int(QMessageBox::Ok) << true;
        QTest::newRow("Cancel") << int(QMessageBox::Cancel) << false;
    }

    void questionProceedsOnlyOnOk()
    {
        QFETCH(int, answer);
        QFETCH(bool, proceeds);
        QWidget window;
        window.show();
        QtNotifier notifier(&window);
        SeenBox seen;
        answerNextBox(QMessageBox::StandardButton(answer), seen);
        QCOMPARE(notifier.question("Czy napewno chcesz zresetować sterownik?", "Uwaga !"), proceeds);
        QCOMPARE(seen.caption, QString("Uwaga !"));
        QCOMPARE(seen.text, QString::fromUtf8("Czy napewno chcesz zresetować sterownik?"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.owner, &window);
        QCOMPARE(seen.buttons.size(), 2);
    }

    void noticeHasNoOwnerNoIconAndOnlyOk()
    {
        QWidget window;
        window.show();
        QtNotifier notifier(&window);
        SeenBox seen;
        answerNextBox(QMessageBox::Ok, seen);
        notifier.notice("Brak komunikacji z modułem !!!", "Uwaga !");
        QCOMPARE(seen.text, QString::fromUtf8("Brak komunikacji z modułem !!!"));
        QCOMPARE(seen.owner, nullptr);
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    }

    void errorDialogCarriesTheErrorIcon()
    {
        QWidget window;
        window.show();
        QtNotifier notifier(&window);
        SeenBox seen;
        answerNextBox(QMessageBox::Ok, seen);
        notifier.errorDialog("Niewłaściwa nazwa portu COM3\r lub jest on aktywny !!!", "Error");
        QCOMPARE(seen.caption, QString("Error"));
        // The carriage return between the two lines is drawn as a line break.
        QCOMPARE(seen.text, QString::fromUtf8("Niewłaściwa nazwa portu COM3\n lub jest on aktywny !!!"));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    }
};

QTEST_MAIN(QtNotifierTest)
#include "qt_notifier_test.moc"
