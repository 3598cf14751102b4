#pragma once
// CharacterGrid: all 256 codes of a device font in 32 columns and 8 rows,
// each cell the font's height plus a margin of 2 on every side. The user
// selects a code by mouse or keys; unavailable codes are greyed out. The
// grid keeps a linked static showing the selection's description and, in
// picker mode, a linked button enabled only for available codes.
#include <string>

#include "data/records.h"
#include "ui/ownerdraw.h"

namespace editor {

class CharacterGrid : public ui::OwnerDrawn {
 public:
  enum class Mode { Picker, FontEditor };
  static constexpr int kColumns = 32, kRows = 8, kMargin = 2;
  // Sent to the parent when an available code is double-clicked.
  static constexpr int kActivateNotify = 0x8101;

  explicit CharacterGrid(Mode mode) : m_mode(mode) {}

  static int CellSize(int fontHeight) { return fontHeight + 2 * kMargin; }
  static int WidthFor(int fontHeight) { return CellSize(fontHeight) * kColumns + 4; }
  static int HeightFor(int fontHeight) { return CellSize(fontHeight) * kRows + 7; }

  void SetFont(const dx470::ZEICHENSATZ* font);
  // Controls that follow the selection (0: none).
  void Link(int descriptionStatic, int availabilityButton);
  void Select(int code);
  int Selected() const { return m_nSelected; }
  bool SelectedAvailable() const { return m_bAvailable; }
  const std::string& Description() const { return m_strDescription; }
  // The code of the cell at client pixel (x, y); outside the cells the
  // nearest column and row.
  int CodeAt(int x, int y) const;

  // ui::OwnerDrawn
  void Paint(gfx::Bitmap& target) override;
  void OnMouse(ui::MouseAction action, int x, int y, ui::KeyMods mods) override;
  void OnKey(ui::Key key, ui::KeyMods mods) override;
  bool QueryText(std::string& text) const override;

 private:
  int Cell() const { return CellSize(m_pFont ? m_pFont->Height : 0); }
  void Update();

  Mode m_mode;
  const dx470::ZEICHENSATZ* m_pFont = nullptr;
  int m_nSelected = 0;
  bool m_bAvailable = false;
  std::string m_strDescription;
  int m_nDescriptionStatic = 0, m_nButton = 0;
  bool m_bCapture = false;
};

}  // namespace editor
