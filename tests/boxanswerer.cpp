#include "boxanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEvent>
#include <QMetaEnum>
#include <QPushButton>
#include <QTest>

namespace {

// A dialog the test left open longer than this is taken as stuck and closed.
constexpr int StuckMs = 5000;

QString buttonName(QMessageBox::StandardButton button)
{
    const QMetaObject &box = QMessageBox::staticMetaObject;
    const QMetaEnum names = box.enumerator(box.indexOfEnumerator("StandardButtons"));
    const char *name = names.valueToKey(button);
    return name ? QString::fromLatin1(name) : QString::number(int(button), 16);
}

} // namespace

QList<BoxAnswerer *> &BoxAnswerer::active()
{
    static QList<BoxAnswerer *> answerers;
    return answerers;
}

BoxAnswerer::BoxAnswerer()
{
    active().append(this);
    connect(&timer, &QTimer::timeout, this, &BoxAnswerer::poll);
    timer.start(10);
}

BoxAnswerer::BoxAnswerer(QMessageBox::StandardButton answer)
    : BoxAnswerer()
{
    thenPress(answer);
}

BoxAnswerer::BoxAnswerer(const QList<QMessageBox::StandardButton> &answers)
    : BoxAnswerer()
{
    for (QMessageBox::StandardButton answer : answers)
        thenPress(answer);
}

BoxAnswerer::~BoxAnswerer()
{
    timer.stop();
    active().removeOne(this);
    if (checked || succeeded())
        return;
    const QByteArray report = problems().toLocal8Bit();
    if (QTest::currentTestFunction() && !QTest::currentTestFailed())
        QTest::qFail(report.constData(), __FILE__, __LINE__);
    else
        qWarning("BoxAnswerer: %s", report.constData());
}

BoxAnswerer &BoxAnswerer::thenPress(QMessageBox::StandardButton answer)
{
    steps.append(Step { answer, {} });
    return *this;
}

BoxAnswerer &BoxAnswerer::thenDrive(Action action)
{
    steps.append(Step { QMessageBox::NoButton, std::move(action) });
    return *this;
}

bool BoxAnswerer::succeeded() const
{
    return next >= steps.size() && faults.isEmpty();
}

QString BoxAnswerer::problems() const
{
    QStringList all = faults;
    if (next < steps.size())
        all.append(
            QStringLiteral("expected %1 modal box(es), %2 appeared").arg(steps.size()).arg(next));
    return all.join(QStringLiteral("; "));
}

bool BoxAnswerer::waitDone(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (next < steps.size() && !deadline.hasExpired())
        QTest::qWait(10);
    checked = true;
    if (succeeded())
        return true;
    qWarning("BoxAnswerer: %s", qPrintable(problems()));
    return false;
}

void BoxAnswerer::dismiss(QDialog *dialog)
{
    if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
        if (QAbstractButton *escape = box->escapeButton()) {
            escape->click();
            return;
        }
    }
    dialog->reject();
}

bool BoxAnswerer::eventFilter(QObject *watched, QEvent *event)
{
    // A dialog may be shown again after it closed; then it is a new box.
    if (event->type() == QEvent::Hide) {
        watched->removeEventFilter(this);
        shown.removeAll(QPointer<QDialog>(qobject_cast<QDialog *>(watched)));
        if (watched == current)
            current = nullptr;
    }
    return QObject::eventFilter(watched, event);
}

void BoxAnswerer::poll()
{
    if (active().constLast() != this)
        return;
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog)
        return;
    if (dialog == current) {
        // Still up after we acted on it: a driver that never closes its
        // dialog would otherwise block the test until the runner kills it.
        if (currentSince.elapsed() > StuckMs) {
            faults.append(QStringLiteral("dialog \"%1\" stayed open").arg(dialog->windowTitle()));
            current = nullptr;
            QMetaObject::invokeMethod(
                dialog, [dialog] { dismiss(dialog); }, Qt::QueuedConnection);
        }
        return;
    }
    if (shown.contains(QPointer<QDialog>(dialog))) {
        // Back on top once the box above it closed: still the one acted on.
        current = dialog;
        currentSince.start();
        return;
    }

    Box seenBox;
    seenBox.className = QString::fromLatin1(dialog->metaObject()->className());
    seenBox.title = dialog->windowTitle();
    seenBox.parent = dialog->parent();
    auto *box = qobject_cast<QMessageBox *>(dialog);
    if (box) {
        seenBox.text = box->text();
        seenBox.informativeText = box->informativeText();
        seenBox.icon = box->icon();
        seenBox.buttons = box->standardButtons();
        if (QPushButton *defaultButton = box->defaultButton())
            seenBox.defaultButton = box->standardButton(defaultButton);
    }

    shown.removeAll(QPointer<QDialog>());
    shown.append(dialog);
    current = dialog;
    currentSince.start();
    dialog->installEventFilter(this);

    Step step;
    if (next < steps.size()) {
        step = steps.at(next++);
    } else {
        seenBox.expected = false;
        faults.append(QStringLiteral("unexpected %1 \"%2\": \"%3\"")
                          .arg(seenBox.className, seenBox.title, seenBox.text));
    }
    if (seenBox.expected && !step.action) {
        if (box && box->button(step.answer))
            seenBox.pressed = step.answer;
        else
            faults.append(QStringLiteral("no button %1 on %2 \"%3\"")
                              .arg(buttonName(step.answer), seenBox.className, seenBox.title));
    }
    seen.append(seenBox);

    // Act from a queued call, not from this slot: Qt never re-enters a timer
    // whose slot is still running, so a second box opened by the answer to
    // this one would otherwise go unseen.
    const bool expected = seenBox.expected;
    const QMessageBox::StandardButton pressed = seenBox.pressed;
    QPointer<QDialog> target = dialog;
    QMetaObject::invokeMethod(
        this,
        [target, expected, pressed, action = step.action] {
            if (!target)
                return;
            if (expected && action)
                action(target);
            else if (expected && pressed != QMessageBox::NoButton)
                qobject_cast<QMessageBox *>(target)->button(pressed)->click();
            else
                dismiss(target);
        },
        Qt::QueuedConnection);
}

void BoxAnswerer::installStrayBoxGuard()
{
    static QPointer<QTimer> guard;
    if (guard)
        return;
    guard = new QTimer(qApp);
    QObject::connect(guard, &QTimer::timeout, [] {
        static QPointer<QDialog> stray;
        static QElapsedTimer since;
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !active().isEmpty()) {
            stray = nullptr;
            return;
        }
        if (dialog != stray) {
            stray = dialog;
            since.start();
            return;
        }
        if (since.elapsed() < StuckMs)
            return;
        const QByteArray report = QStringLiteral("modal %1 \"%2\" appeared with no BoxAnswerer")
                                      .arg(QString::fromLatin1(dialog->metaObject()->className()),
                                           dialog->windowTitle())
                                      .toLocal8Bit();
        stray = nullptr;
        QMetaObject::invokeMethod(
            dialog, [dialog] { dismiss(dialog); }, Qt::QueuedConnection);
        if (QTest::currentTestFunction())
            QTest::qFail(report.constData(), __FILE__, __LINE__);
        else
            qWarning("%s", report.constData());
    });
    guard->start(100);
}

DialogDriver::DialogDriver(Action action, int count)
{
    for (int i = 0; i < count; ++i)
        thenDrive(action);
}
