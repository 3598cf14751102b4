#include "qtui/layout_check.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QStyle>
#include <algorithm>

#include "convert.h"
#include "dialog_view.h"
#include "qtui/qtui.h"

namespace qtui {
namespace {

std::string Describe(const ui::ControlState& c, const QRect& r) {
  return "control " + std::to_string(c.desc.id) + " (" + std::to_string(r.x()) + "," + std::to_string(r.y()) +
         " " + std::to_string(r.width()) + "x" + std::to_string(r.height()) + ")";
}

bool Allowed(const Neighbours& neighbours, int a, int b) {
  return std::any_of(neighbours.begin(), neighbours.end(), [&](const std::pair<int, int>& p) {
    return (p.first == a && p.second == b) || (p.first == b && p.second == a);
  });
}

// The pixels a text needs in `c`'s kind of control, beside the text itself.
int Chrome(const ui::ControlState& c, const QStyle& style) {
  switch (c.desc.kind) {
    case ui::ControlKind::PushButton:
    case ui::ControlKind::DefPushButton:
      return 2 * (style.pixelMetric(QStyle::PM_ButtonMargin) / 2 +
                  style.pixelMetric(QStyle::PM_DefaultFrameWidth));
    case ui::ControlKind::CheckBox:
    case ui::ControlKind::AutoCheckBox:
      return style.pixelMetric(QStyle::PM_IndicatorWidth) +
             style.pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    case ui::ControlKind::RadioButton:
      return style.pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
             style.pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    case ui::ControlKind::GroupBox: return 16;
    default: return 0;
  }
}

std::string TextProblem(const ui::ControlState& c, const QRect& r, const QFont& font, const QStyle& style) {
  const bool buttonLike =
      c.desc.kind == ui::ControlKind::PushButton || c.desc.kind == ui::ControlKind::DefPushButton ||
      c.desc.kind == ui::ControlKind::CheckBox || c.desc.kind == ui::ControlKind::AutoCheckBox ||
      c.desc.kind == ui::ControlKind::RadioButton || c.desc.kind == ui::ControlKind::GroupBox;
  if (!buttonLike && c.desc.kind != ui::ControlKind::Static) return {};
  QString text = StaticText(c.text, c.desc.kind == ui::ControlKind::Static && (c.desc.style & ui::kNoPrefix));
  if (text.isEmpty()) return {};
  QFontMetrics metrics(font);
  const int room = r.width() - Chrome(c, style);
  bool fits = true;
  if (buttonLike) {
    fits = metrics.horizontalAdvance(text) <= room && metrics.height() <= r.height();
  } else {
    // Statics wrap at blanks: every word must fit a line and all lines the height.
    for (const QString& word : text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
      fits = fits && metrics.horizontalAdvance(word) <= room;
    QRect needed = metrics.boundingRect(QRect(0, 0, std::max(room, 1), 100000), Qt::TextWordWrap, text);
    fits = fits && needed.height() <= r.height();
  }
  if (fits) return {};
  return Describe(c, r) + ": the text \"" + S(text) + "\" does not fit";
}

}  // namespace

std::vector<std::string> LayoutProblems(ui::Dialog& dialog, const Neighbours& neighbours) {
  std::vector<std::string> problems;
  if (!EnsureApplication(true)) return {"the Qt runner is not available"};
  DialogView view(dialog, nullptr, true);
  const QRect client(0, 0, dialog.ClientWidth(), dialog.ClientHeight());
  const QFont font = DialogFont(dialog.Template().fontFace, dialog.Template().fontSize);
  const QStyle& style = *view.style();

  struct Placed {
    const ui::ControlState* state;
    QRect rect;
  };
  std::vector<Placed> placed;
  for (const ui::ControlState& c : dialog.Controls()) {
    QWidget* w = view.ControlWidget(c.desc.id);
    if (!c.visible || !w) continue;
    placed.push_back({&c, w->geometry()});
  }
  for (size_t i = 0; i < placed.size(); ++i) {
    const Placed& a = placed[i];
    if (!client.contains(a.rect))
      problems.push_back(Describe(*a.state, a.rect) + " lies outside the client area " +
                         std::to_string(client.width()) + "x" + std::to_string(client.height()));
    std::string text = TextProblem(*a.state, a.rect, font, style);
    if (!text.empty()) problems.push_back(text);
    for (size_t k = i + 1; k < placed.size(); ++k) {
      const Placed& b = placed[k];
      if (!a.rect.intersects(b.rect) || Allowed(neighbours, a.state->desc.id, b.state->desc.id)) continue;
      auto inGroup = [](const Placed& group, const Placed& inner) {
        return group.state->desc.kind == ui::ControlKind::GroupBox && group.rect.contains(inner.rect);
      };
      if (inGroup(a, b) || inGroup(b, a)) continue;
      problems.push_back(Describe(*a.state, a.rect) + " overlaps " + Describe(*b.state, b.rect));
    }
  }
  return problems;
}

}  // namespace qtui
