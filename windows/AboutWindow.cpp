// The About window's layout and its two actions.
#include "windows/AboutWindow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "platform/Dispatch.h"
#include "windows/AppIcon.h"
#include "windows/WindowPlacement.h"

namespace zumo {
namespace {

constexpr int Width = 320;
constexpr int Height = 250;
const QString ShareTitle = QStringLiteral("Copy Share Link");

QRect frame(int x, int y, int w, int h)
{
    return fromBottomLeft(x, y, w, h, Height);
}

} // namespace

AboutWindow::AboutWindow(const QString& version, QUrl page, Dispatcher& dispatcher, UrlOpener open)
    : m_page(std::move(page)), m_dispatcher(dispatcher), m_open(std::move(open))
{
    setWindowTitle(QStringLiteral("About Zumo"));
    setFixedSize(Width, Height);

    auto* icon = new QLabel(this);
    icon->setPixmap(appIconPixmap(96, devicePixelRatioF()));
    icon->setGeometry(frame(112, 150, 96, 96));
    addLabel(this, QStringLiteral("Zumo"), 18, QFont::Bold, frame(0, 122, 320, 22));
    QLabel* versionLabel = addLabel(this, versionLine(version), 11, QFont::Normal, frame(0, 102, 320, 16));
    versionLabel->setForegroundRole(QPalette::PlaceholderText);
    addLabel(this, QStringLiteral("Made by Pellwick"), 12, QFont::Medium, frame(0, 76, 320, 16));

    QLabel* link = addLabel(this, QStringLiteral("<a href=\"%1\">%2</a>").arg(m_page.toString(), withoutScheme(m_page).toHtmlEscaped()),
                            12, QFont::Normal, frame(40, 54, 240, 18));
    link->setObjectName(QStringLiteral("productLink"));
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    QObject::connect(link, &QLabel::linkActivated, this, [this] { openSite(); });

    m_share = new QPushButton(ShareTitle, this);
    m_share->setGeometry(frame(80, 14, 160, 28));
    QObject::connect(m_share, &QPushButton::clicked, this, [this] { copyShare(); });
}

QString AboutWindow::versionLine(const QString& version)
{
    return QStringLiteral("Version ") + (version.isEmpty() ? QStringLiteral("1.0") : version);
}

void AboutWindow::present()
{
    presentCentred(*this);
}

void AboutWindow::openSite()
{
    m_open(m_page);
}

void AboutWindow::copyShare()
{
    QGuiApplication::clipboard()->setText(m_page.toString());
    m_share->setText(QStringLiteral("Copied \u2713"));
    // Each press schedules its own restore, so the title comes back 1.5 s after the first one.
    m_dispatcher.after(CopiedSeconds, [button = QPointer<QPushButton>(m_share)] {
        if (button)
            button->setText(ShareTitle);
    });
}

} // namespace zumo
