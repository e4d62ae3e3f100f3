// A rounded orange notice with one wrapping line of text, for what stops Zumo from working.
#pragma once

#include <QWidget>

class QLabel;

namespace zumo {

class Banner final : public QWidget {
  public:
    explicit Banner(const QString& text, QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QLabel* m_label;
};

} // namespace zumo
