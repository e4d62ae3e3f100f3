// Lists installed applications by name, narrowed by what the user types.
#include "windows/AppPicker.h"

#include <QCollator>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace zumo {

QIcon installedAppIcon(const QString& icon)
{
    if (icon.isEmpty())
        return {};
    if (QFileInfo(icon).isAbsolute())
        return QIcon(icon);
    return QIcon::fromTheme(icon);
}

AppPicker::AppPicker(const std::vector<InstalledApp>& apps, QWidget* parent)
    : QDialog(parent), m_search(new QLineEdit(this)), m_list(new QListWidget(this)),
      m_buttons(new QDialogButtonBox(this))
{
    setObjectName(QStringLiteral("appPicker"));
    setWindowTitle(QStringLiteral("Add App"));
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(QStringLiteral("Choose an application to hide from the switcher:"), this);
    hint->setWordWrap(true);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(QStringLiteral("Search applications"));
    m_search->setAccessibleName(QStringLiteral("Search applications"));
    m_search->setClearButtonEnabled(true);
    m_list->setObjectName(QStringLiteral("apps"));
    m_list->setAccessibleName(QStringLiteral("Installed applications"));
    m_list->setIconSize(QSize(24, 24));
    m_list->setMinimumSize(340, 300);
    hint->setBuddy(m_search);

    std::vector<InstalledApp> sorted = apps;
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(sorted.begin(), sorted.end(), [&collator](const InstalledApp& a, const InstalledApp& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    for (const InstalledApp& app : sorted) {
        auto* item = new QListWidgetItem(installedAppIcon(app.icon), app.name, m_list);
        item->setData(Qt::UserRole, app.id);
        item->setToolTip(app.id);
    }

    m_add = m_buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    m_add->setObjectName(QStringLiteral("add"));
    m_buttons->addButton(QDialogButtonBox::Cancel);
    layout->addWidget(hint);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_buttons);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) { filter(text); });
    connect(m_list, &QListWidget::currentItemChanged, this, [this] { updateButtons(); });
    connect(m_list, &QListWidget::itemActivated, this, [this] { accept(); });
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    updateButtons();
}

QString AppPicker::chosenId() const
{
    QListWidgetItem* item = m_list->currentItem();
    if (!item || item->isHidden())
        return {};
    return item->data(Qt::UserRole).toString();
}

void AppPicker::filter(const QString& text)
{
    const QString wanted = text.trimmed();
    QListWidgetItem* firstShown = nullptr;
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem* item = m_list->item(i);
        const bool shown = wanted.isEmpty() || item->text().contains(wanted, Qt::CaseInsensitive) ||
                           item->data(Qt::UserRole).toString().contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !firstShown)
            firstShown = item;
    }
    // Typing then pressing Return adds the best match, as in a launcher.
    if (!m_list->currentItem() || m_list->currentItem()->isHidden())
        m_list->setCurrentItem(firstShown);
    updateButtons();
}

void AppPicker::updateButtons()
{
    m_add->setEnabled(!chosenId().isEmpty());
}

} // namespace zumo
