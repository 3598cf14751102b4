#pragma once
// Data exchange between a dialog's controls and its members, run by
// Dialog::UpdateData through DoDataExchange. Saving moves control values to
// members; loading moves members to controls. A field that fails stops the
// exchange: later calls do nothing and UpdateData focuses that field.
#include <cstdint>
#include <string>

namespace ui {

class Dialog;

class DataExchange {
 public:
  DataExchange(Dialog& dialog, bool saving) : dialog_(dialog), saving_(saving) {}

  bool Saving() const { return saving_; }
  bool Failed() const { return failedId_ != 0; }
  int FailedControl() const { return failedId_; }
  Dialog& Owner() const { return dialog_; }

  void Text(int id, std::string& value);
  void Check(int id, int& value);
  // Index of the checked button in the radio group that starts at firstId;
  // -1 = none.
  void Radio(int firstId, int& value);
  void ComboIndex(int id, int& index);
  void ListIndex(int id, int& index);
  // Integer field; a text that is not a whole number fails the field.
  void Int(int id, int32_t& value);
  // Marks `id` as the field that failed (the caller has told the user).
  void Fail(int id);

 private:
  bool Skip() const { return Failed(); }
  Dialog& dialog_;
  bool saving_;
  int failedId_ = 0;
};

}  // namespace ui
