#pragma once
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// A vertical pair of arrows bound to one field (its buddy): step 1, stops at
// its minimum and maximum, the Up and Down keys step it while the buddy has
// focus. After each step the buddy shows the new position as a whole number
// and clicked() follows, so a handler may rewrite the buddy. A whole-number
// buddy's text is the starting point of a step (the program may have written
// the field without moving the spinner); a tenths buddy is not, the spinner
// then keeps its own position. Positions set by the program raise no click.
class UpDown : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int position READ position WRITE setPosition)
    Q_PROPERTY(QString associate READ associate WRITE setAssociate)
    Q_PROPERTY(bool wholeNumber READ wholeNumber WRITE setWholeNumber)
public:
    enum class Button { Up, Down };
    Q_ENUM(Button)

    explicit UpDown(QWidget* parent = nullptr);

    int minimum() const { return min_; }
    int maximum() const { return max_; }
    void setMinimum(int value);
    void setMaximum(int value);
    int position() const { return position_; }
    // Clamps into the range and shows the position in the buddy; no click.
    void setPosition(int value);

    // Object name of the buddy field among the spinner's siblings.
    QString associate() const { return associate_; }
    void setAssociate(const QString& name);
    bool wholeNumber() const { return wholeNumber_; }
    void setWholeNumber(bool on) { wholeNumber_ = on; }

    QLineEdit* buddy() const { return buddy_; }
    void setBuddy(QLineEdit* field);
    // Binds every spinner below `root` to the field its associate names.
    static void bindAssociates(QWidget* root);

    // One step as the operator makes it: moves, shows, raises clicked().
    void step(Button button);

    QSize sizeHint() const override { return {16, 21}; }

signals:
    void clicked(UpDown::Button button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect half(Button button) const;
    void repeat();

    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    bool wholeNumber_ = true;
    QString associate_;
    QPointer<QLineEdit> buddy_;
    bool pressed_ = false;
    Button pressedButton_ = Button::Up;
    QTimer repeatTimer_;
};
