// Data exchange between controls and members.
#include "ui/ddx.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "ui/dialog.h"
#include "ui/services.h"

namespace ui {

void DataExchange::Text(int id, std::string& value) {
  if (Skip()) return;
  if (saving_)
    value = dialog_.GetDlgItemText(id);
  else
    dialog_.SetDlgItemText(id, value);
}

void DataExchange::Check(int id, int& value) {
  if (Skip()) return;
  if (saving_)
    value = dialog_.GetCheck(id);
  else
    dialog_.SetCheck(id, value);
}

void DataExchange::Radio(int firstId, int& value) {
  if (Skip()) return;
  std::vector<int> group = dialog_.RadioGroup(firstId);
  if (saving_) {
    value = -1;
    for (size_t i = 0; i < group.size(); ++i)
      if (dialog_.GetCheck(group[i]) == BST_CHECKED) value = int(i);
  } else {
    for (size_t i = 0; i < group.size(); ++i)
      dialog_.SetCheck(group[i], int(i) == value ? BST_CHECKED : BST_UNCHECKED);
  }
}

void DataExchange::ComboIndex(int id, int& index) {
  if (Skip()) return;
  if (saving_)
    index = dialog_.GetCurSel(id);
  else
    dialog_.SetCurSel(id, index);
}

void DataExchange::ListIndex(int id, int& index) { ComboIndex(id, index); }

void DataExchange::Int(int id, int32_t& value) {
  if (Skip()) return;
  if (!saving_) {
    dialog_.SetDlgItemText(id, std::to_string(value));
    return;
  }
  std::string text = dialog_.GetDlgItemText(id);
  const char* begin = text.c_str();
  while (*begin == ' ' || *begin == '\t') ++begin;
  char* end = nullptr;
  errno = 0;
  long long parsed = std::strtoll(begin, &end, 10);
  while (end && (*end == ' ' || *end == '\t')) ++end;
  if (end == begin || *end != '\0' || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX) {
    MessageBoxSpec box;
    box.caption = dialog_.WindowText();
    box.text = "Please enter an integer.";
    box.icon = Icon::Warning;
    dialog_.Services().MessageBox(box);
    Fail(id);
    return;
  }
  value = int32_t(parsed);
}

void DataExchange::Fail(int id) {
  if (failedId_ == 0) failedId_ = id == 0 ? -1 : id;
}

}  // namespace ui
