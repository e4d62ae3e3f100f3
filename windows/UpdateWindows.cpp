#include "windows/UpdateWindows.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "windows/WindowSupport.h"

namespace zumo {
namespace {

constexpr int BarSteps = 1000;

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setText(text);
    return label;
}

} // namespace

PlainAlert::PlainAlert(const QString& message, const QString& informative, const QStringList& buttons)
{
    setWindowTitle(QStringLiteral("Zumo"));
    setModal(true);
    m_message = plainLabel(message, this);
    QFont bold = m_message->font();
    bold.setBold(true);
    m_message->setFont(bold);
    m_informative = plainLabel(informative, this);
    m_informative->setVisible(!informative.isEmpty());
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->addWidget(m_message);
    texts->addWidget(m_informative);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);
    auto* box = new QDialogButtonBox(this);
    for (int i = 0; i < buttons.size(); ++i) {
        auto* button = box->addButton(buttons[i], i == 0 ? QDialogButtonBox::AcceptRole : QDialogButtonBox::RejectRole);
        button->setDefault(i == 0);
        connect(button, &QPushButton::clicked, this, [this, i] { done(i); });
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(box);
    setMinimumWidth(420);
}

int PlainAlert::run()
{
    bringToFront(this);
    // A quit ends this loop without a button: that must not read as the default button's 0.
    m_answered = false;
    const int answer = exec();
    return m_answered ? answer : -1;
}

UpdateProgressWindow::UpdateProgressWindow(const QString& version)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
{
    setWindowTitle(QStringLiteral("Updating Zumo"));
    setFixedSize(340, 120);
    m_label = plainLabel(QStringLiteral("Downloading Zumo ") + version + QChar(0x2026), this);
    m_label->setGeometry(20, 22, 300, 18);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, BarSteps);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setGeometry(20, 52, 300, 12);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setGeometry(230, 78, 90, 30);
    connect(cancel, &QPushButton::clicked, this, [this] { cancelTapped(); });
}

void UpdateProgressWindow::setLabel(const QString& text)
{
    m_label->setText(text);
}

void UpdateProgressWindow::setFraction(double fraction)
{
    m_bar->setValue(int(std::clamp(fraction, 0.0, 1.0) * BarSteps));
}

void UpdateProgressWindow::cancelTapped()
{
    if (m_cancelled.exchange(true))
        return;
    if (m_onCancel)
        m_onCancel();
    finish();
}

void UpdateProgressWindow::finish()
{
    m_finishing = true;
    close();
    m_finishing = false;
}

void UpdateProgressWindow::closeEvent(QCloseEvent* event)
{
    // Only Cancel or the end of the download closes it, never the window manager's close.
    if (m_finishing)
        event->accept();
    else
        event->ignore();
}

} // namespace zumo
