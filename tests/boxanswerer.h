#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QDialog;

// Answers the modal boxes an action opens, in order, also when they run in a
// slot's nested event loop. Construct it before the action:
//
//     BoxAnswerer answerer(QMessageBox::Yes);
//     window.close();
//     QVERIFY(answerer.waitDone());
//     QCOMPARE(answerer.box().title, QString("Projector is on!"));
//
// Expecting no box at all is the default-constructed answerer. A box beyond
// the expected ones is dismissed and makes the test fail, as does an expected
// box that never came (checked by waitDone() or, failing that, on destruction).
// While several answerers exist only the newest one acts.
class BoxAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QString className;
        QString title;
        QString text;
        QString informativeText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QMessageBox::StandardButton pressed = QMessageBox::NoButton;
        const QObject *parent = nullptr;
        bool expected = true;
    };

    using Action = std::function<void(QDialog *)>;

    BoxAnswerer();
    explicit BoxAnswerer(QMessageBox::StandardButton answer);
    explicit BoxAnswerer(const QList<QMessageBox::StandardButton> &answers);
    ~BoxAnswerer() override;

    // Queue further boxes: a message box answered with a button, or any modal
    // dialog handed to action (which should end it, e.g. by clicking a button).
    BoxAnswerer &thenPress(QMessageBox::StandardButton answer);
    BoxAnswerer &thenDrive(Action action);

    // Keeps the event loop running until every queued box was handled; false
    // (with the reason logged) if one is missing or anything went wrong.
    bool waitDone(int timeoutMs = 5000);

    int expectedCount() const { return steps.size(); }
    int seenCount() const { return seen.size(); }
    const QList<Box> &boxes() const { return seen; }
    Box box(int index = 0) const { return seen.value(index); }
    QString problems() const;

    // Ends any modal dialog that stays open while no answerer exists, so a
    // test that shows an unexpected box fails instead of hanging.
    static void installStrayBoxGuard();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void poll();

private:
    struct Step
    {
        QMessageBox::StandardButton answer = QMessageBox::NoButton;
        Action action;
    };

    static void dismiss(QDialog *dialog);
    bool succeeded() const;

    QList<Step> steps;
    int next = 0;
    QList<Box> seen;
    QStringList faults;
    QTimer timer;
    QPointer<QDialog> current;
    QElapsedTimer currentSince;
    // Dialogs seen and not hidden since: one under a box comes back on top
    // when the box closes, and is the same dialog, not a new one.
    QList<QPointer<QDialog>> shown;
    bool checked = false;

    // Only the newest answerer acts, so nested scopes do not fight over a box.
    static QList<BoxAnswerer *> &active();
};

// Drives count modal dialogs with the same action.
class DialogDriver : public BoxAnswerer
{
public:
    explicit DialogDriver(Action action, int count = 1);
};
