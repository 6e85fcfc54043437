#include "rig.h"

#include "colorgroupbox.h"
#include "portenumeration.h"
#include "teststore.h"

#include <QAbstractButton>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTest>

const QColor Rig::TransitionColour(200, 200, 0);
const QColor Rig::LampOffColour(50, 100, 255);
const QColor Rig::LampOnColour(255, 220, 0);
const QColor Rig::NoContactColour(100, 100, 40);

Rig::Rig(int model, bool debug)
    : Rig(model, debug, [](NullModem &modem) { return modem.portName(); })
{ }

Rig::Rig(int model, bool debug, const std::function<QString(NullModem &)> &portFor)
{
    TestStore::seed({ { "ComPort", portFor(modem) }, { "Model", model } });
    PortEnumeration::setLister([] { return QStringList(); });
    w = std::make_unique<Vantrel>();
    VantrelProbe::pollTimer(*w).stop();
    ui().debugCheckBox->setChecked(debug);
    ui().textEdit->clear();
}

Rig::Rig(const QVariantMap &store, bool debug)
{
    TestStore::seed(store);
    PortEnumeration::setLister([] { return QStringList(); });
    w = std::make_unique<Vantrel>();
    VantrelProbe::pollTimer(*w).stop();
    ui().debugCheckBox->setChecked(debug);
    ui().textEdit->clear();
}

Rig::~Rig()
{
    PortEnumeration::setLister({});
}

QAbstractButton *Rig::button(const QString &name) const
{
    return w->findChild<QAbstractButton *>(name);
}

bool Rig::show()
{
    w->show();
    return QTest::qWaitForWindowExposed(w.get());
}

void Rig::tick(int count)
{
    for (int i = 0; i < count; ++i)
        VantrelProbe::invoke(*w, "OnTimer");
}

bool Rig::receive(const QByteArray &bytes)
{
    if (!modem.write(bytes) || !modem.waitConsumed())
        return false;
    ProjectorLink &port = VantrelProbe::serialPort(*w);
    return tickUntil([&port] { return port.bytesAvailable() == 0; });
}

bool Rig::tickUntil(const std::function<bool()> &done, int maxTicks)
{
    for (int i = 0; i < maxTicks && !done(); ++i) {
        tick();
        QCoreApplication::processEvents();
    }
    return done();
}

QByteArray Rig::sent()
{
    const QByteArray marker = "#mark#\r";
    const bool debug = ui().debugCheckBox->isChecked();
    ui().debugCheckBox->setChecked(false);
    VantrelProbe::sendCommand(*w, marker.left(marker.size() - 1));
    ui().debugCheckBox->setChecked(debug);
    QByteArray out;
    while (!out.endsWith(marker)) {
        const QByteArray byte = modem.readBytes(1);
        if (byte.isEmpty())
            return out + "<marker missing>";
        out += byte;
    }
    out.chop(marker.size());
    return out;
}

QString Rig::log() const
{
    return VantrelProbe::ui(*w).textEdit->toPlainText();
}

void Rig::clearLog()
{
    ui().textEdit->clear();
}

QColor Rig::boxColour() const
{
    return VantrelProbe::ui(*w).on_off_groupBox->fillColor;
}

bool Rig::boxesAgree() const
{
    const Ui::VantrelClass &form = VantrelProbe::ui(*w);
    return form.on_off_groupBox->fillColor == form.vvt_on_off_groupBox->fillColor;
}

static QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool Rig::showsContact() const
{
    const QAbstractButton *status = VantrelProbe::ui(*w).connectionStatus;
    static const QIcon connect(QPixmap(QStringLiteral(":/Vantrel/Resources/connect.png")));
    return status->toolTip() == QLatin1String("Contact")
        && iconImage(status->icon()) == iconImage(connect);
}
