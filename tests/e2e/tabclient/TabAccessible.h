// The tab bar as browsers publish it: a "page tab list" whose "page tab" children say which one
// is selected and select themselves on "Press". Qt 6.4's own tab bar leaves the selected state out.
#pragma once

#include <QAccessibleWidget>
#include <QPointer>
#include <QTabBar>
#include <map>

class TabBarAccessible final : public QAccessibleWidget {
public:
    explicit TabBarAccessible(QTabBar* bar) : QAccessibleWidget(bar, QAccessible::PageTabList) {}
    // Installed before the first window shows; tab bars then get this interface.
    static void install();

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

private:
    QTabBar* bar() const { return static_cast<QTabBar*>(widget()); }
    mutable std::map<int, QAccessible::Id> m_tabs;
};
