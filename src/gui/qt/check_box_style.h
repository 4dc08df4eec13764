// The dialog's check boxes are drawn by the application's style but spaced
// like the dialog controls the template was laid out for: a 13-pixel box
// with the text 4 pixels beside it. With the wider box and gap of some
// styles the longest captions would be cut off at the template's widths.
#pragma once

#include <QProxyStyle>

namespace kvtram::gui {

class CheckBoxStyle : public QProxyStyle {
  Q_OBJECT

 public:
  static constexpr int kBoxSize = 13;
  static constexpr int kTextGap = 4;

  CheckBoxStyle();

  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
};

}  // namespace kvtram::gui
