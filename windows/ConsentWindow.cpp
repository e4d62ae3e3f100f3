// The consent window: its texts and layout, Agree, Disagree (Return presses the focused one), close,
// the policy link.
#include "windows/ConsentWindow.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "settings/SettingsStore.h"
#include "windows/AppIcon.h"
#include "windows/WindowPlacement.h"

namespace zumo {
namespace {

constexpr int Width = 400;
constexpr int Height = 250;

const char* const Message =
    "Welcome to Zumo by Pellwick. To keep improving it, Zumo collects usage and diagnostic data. "
    "The details are in our Privacy Policy. Choose Agree to accept it and continue. If you choose "
    "Disagree, Zumo will close.";

QRect frame(int x, int y, int w, int h)
{
    return fromBottomLeft(x, y, w, h, Height);
}

} // namespace

ConsentWindow::ConsentWindow(SettingsStore& store, QUrl privacy, UrlOpener open)
    : m_store(store), m_privacy(std::move(privacy)), m_open(std::move(open))
{
    setWindowTitle(QStringLiteral("Welcome to Zumo"));
    setFixedSize(Width, Height);

    auto* icon = new QLabel(this);
    icon->setPixmap(appIconPixmap(64, devicePixelRatioF()));
    icon->setGeometry(frame(168, 170, 64, 64));

    QLabel* text = addLabel(this, QString::fromUtf8(Message), 13, QFont::Normal, frame(30, 84, 340, 78));
    text->setWordWrap(true);

    const QString linkTitle = QStringLiteral("Read the Privacy Policy (%1)").arg(withoutScheme(m_privacy));
    QLabel* link = addLabel(this, QStringLiteral("<a href=\"%1\">%2</a>").arg(m_privacy.toString(), linkTitle.toHtmlEscaped()),
                            12, QFont::Normal, frame(20, 58, 360, 18));
    link->setObjectName(QStringLiteral("policyLink"));
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    QObject::connect(link, &QLabel::linkActivated, this, [this] { openPolicy(); });

    auto* disagreeButton = new QPushButton(QStringLiteral("Disagree"), this);
    disagreeButton->setGeometry(frame(100, 14, 90, 32));
    QObject::connect(disagreeButton, &QPushButton::clicked, this, [this] { disagree(); });
    auto* agreeButton = new QPushButton(QStringLiteral("Agree"), this);
    agreeButton->setGeometry(frame(210, 14, 90, 32));
    agreeButton->setDefault(true);
    QObject::connect(agreeButton, &QPushButton::clicked, this, [this] { agree(); });
}

bool ConsentWindow::consentNeeded(const SettingsStore& store)
{
    const QJsonValue version = store.value(QStringLiteral("consentVersion"));
    return !version.isDouble() || version.toDouble() < 1;
}

void ConsentWindow::present()
{
    presentCentred(*this);
}

void ConsentWindow::agree()
{
    m_decided = true;
    m_store.setValue(QStringLiteral("consentVersion"), 1);
    hide();
    // The launch goes on once; a second press (a double click) must not start anything twice.
    if (!std::exchange(m_agreedOnce, true))
        agreed.notify();
}

void ConsentWindow::disagree()
{
    m_decided = true;
    quitRequested.notify();
}

void ConsentWindow::openPolicy()
{
    m_open(m_privacy);
}

void ConsentWindow::closeEvent(QCloseEvent* event)
{
    if (!m_decided)
        quitRequested.notify();
    event->accept();
}

void ConsentWindow::keyPressEvent(QKeyEvent* event)
{
    // Return presses the focused button, as everywhere on this desktop; with the focus elsewhere
    // it presses the default one, Agree.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QAbstractButton*>(focusWidget()))
            return button->click();
        return agree();
    }
    QWidget::keyPressEvent(event);
}

} // namespace zumo
