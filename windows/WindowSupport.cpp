// Placement, form rows and status colours shared by the windows.
#include "windows/WindowSupport.h"

#include <QCursor>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QWidget>

namespace zumo {

void bringToFront(QWidget* window)
{
    if (window->isVisible()) {
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
        return;
    }
    // No explicit size yet: the first show. Later the window keeps the size the user gave it.
    if (!window->testAttribute(Qt::WA_Resized))
        window->adjustSize();
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    // The window manager focuses a window as it maps. Asking as well would wait in Qt until the
    // map is seen, and could then pull the focus back from a window the user switched to meanwhile.
    window->show();
    window->raise();
}

FormGrid::FormGrid(QWidget* page) : m_page(page), m_grid(new QGridLayout(page))
{
    m_grid->setHorizontalSpacing(12);
    m_grid->setVerticalSpacing(6);
    m_grid->setColumnStretch(1, 1);
    m_grid->setAlignment(Qt::AlignTop);
}

QHBoxLayout* FormGrid::addRow(const QString& label, std::initializer_list<QWidget*> controls)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    for (QWidget* control : controls)
        row->addWidget(control);
    row->addStretch(1);
    if (!label.isEmpty()) {
        auto* title = new QLabel(label, m_page);
        title->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (controls.size() > 0)
            title->setBuddy(*controls.begin());
        m_grid->addWidget(title, m_rows, 0);
    }
    m_grid->addLayout(row, m_rows++, 1);
    return row;
}

QLabel* FormGrid::addNote(const QString& text)
{
    QLabel* note = makeNote(text, m_page);
    m_grid->addWidget(note, m_rows++, 1);
    return note;
}

QLabel* makeNote(const QString& text, QWidget* parent)
{
    auto* note = new QLabel(text, parent);
    note->setWordWrap(true);
    QFont font = note->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    note->setFont(font);
    note->setForegroundRole(QPalette::PlaceholderText);
    return note;
}

void setStatus(QLabel* label, const StatusLine& status)
{
    label->setText(status.text);
    label->setAccessibleName(status.text);
    switch (status.tone) {
    case Tone::good:
        label->setStyleSheet(QStringLiteral("color: #2e9e44;"));
        break;
    case Tone::pending:
        label->setStyleSheet(QStringLiteral("color: #d98200;"));
        break;
    case Tone::bad:
        label->setStyleSheet(QStringLiteral("color: #d0342c;"));
        break;
    case Tone::neutral:
        label->setStyleSheet(QString());
        break;
    }
}

} // namespace zumo
