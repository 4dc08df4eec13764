#include "gui/qt/check_box_style.h"

#include <QApplication>

namespace kvtram::gui {

// A proxy over a fresh instance of the application's style, so that
// this style owns what it wraps and never touches the application's.
CheckBoxStyle::CheckBoxStyle() : QProxyStyle(QApplication::style()->name()) {}

int CheckBoxStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                               const QWidget* widget) const {
  switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
      return kBoxSize;
    case PM_CheckBoxLabelSpacing:
      return kTextGap;
    default:
      return QProxyStyle::pixelMetric(metric, option, widget);
  }
}

}  // namespace kvtram::gui
