// The toast panel: icon and text on a rounded popover, placed below the screen's middle.
#include "windows/Toast.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include "windows/AppIcon.h"
#include "windows/WindowPlacement.h"

namespace zumo {
namespace {

constexpr int PanelHeight = 56;
constexpr int TextX = 52;
constexpr int Margins = 92;  // 14 + 28 icon + 36 + 14 around the text

class ToastPanel : public QWidget {
public:
    ToastPanel(const QString& text, bool translucent) : m_translucent(translucent)
    {
        setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                       Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground, translucent);
        setAttribute(Qt::WA_DeleteOnClose);
        auto* icon = new QLabel(this);
        icon->setPixmap(appIconPixmap(28, devicePixelRatioF()));
        icon->setGeometry(14, 14, 28, 28);
        QLabel* label = addLabel(this, text, 14, QFont::Medium, QRect(), false);
        const int textWidth = label->sizeHint().width();
        label->setGeometry(TextX, (PanelHeight - label->sizeHint().height()) / 2, textWidth, label->sizeHint().height());
        setFixedSize(textWidth + Margins, PanelHeight);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(128, 128, 128, 90));
        p.setBrush(palette().color(QPalette::Window));
        const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (m_translucent)
            p.drawRoundedRect(area, 16, 16);
        else
            p.drawRect(area);
    }

private:
    bool m_translucent;
};

} // namespace

QWidget* makeToastPanel(const QString& text, bool translucent)
{
    return new ToastPanel(text, translucent);
}

QPoint toastPosition(const QSize& size, const QRect& screen)
{
    const int bottom = screen.y() + screen.height() / 2 + 28;
    return QPoint(screen.x() + (screen.width() - size.width()) / 2, bottom - size.height());
}

Toast::Toast(Dispatcher& dispatcher, bool translucent) : m_dispatcher(dispatcher), m_translucent(translucent) {}

Toast::~Toast()
{
    dismiss();
}

void Toast::showToast(const QString& text, double duration)
{
    dismiss();
    QWidget* panel = makeToastPanel(text, m_translucent);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        panel->move(toastPosition(panel->size(), screen->geometry()));
    panel->show();
    m_panel = panel;
    m_timer = m_dispatcher.after(duration, [this, panel] {
        m_timer = 0;
        if (m_panel == panel)
            dismiss();
    });
}

void Toast::dismiss()
{
    if (m_timer != 0)
        m_dispatcher.cancel(m_timer);
    m_timer = 0;
    if (m_panel)
        m_panel->close();
    m_panel = nullptr;
}

} // namespace zumo
