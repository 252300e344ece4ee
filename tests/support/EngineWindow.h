// A window of real controls that carries the names the conversion reads and writes,
// for running the conversion operations on their own.
#pragma once

#include "engine/ConverterWindow.h"
#include "engine/Labels.h"

namespace kolvane::test {

class EngineWindow : public ConverterWindow {
 public:
  const char* ClassName() const override { return "Test.EngineWindow"; }

  using ConverterWindow::p_ConvertSingleFile;
  using ConverterWindow::SourcePop;
  using ConverterWindow::TargetPop;
  using ConverterWindow::LBSourcePop;
  using ConverterWindow::LBTargetPop;
  using ConverterWindow::ConvertLBCB;

  // Chooses the encodings and line breaks by label; an empty line-break pair leaves the
  // box unticked.
  void Choose(const char* source, const char* target, const char* lbSource = nullptr,
              const char* lbTarget = nullptr) {
    Select(*SourcePop(), source);
    Select(*TargetPop(), target);
    ConvertLBCB()->SetValue(lbSource != nullptr);
    if (lbSource) Select(*LBSourcePop(), lbSource);
    if (lbTarget) Select(*LBTargetPop(), lbTarget);
  }

 protected:
  void CreateControls() override {
    for (const char* name : {"SourcePop", "TargetPop"}) {
      auto pop = New<PopupMenu>();
      _AddControl(name, pop);
      for (const auto& row : EncodingLabel) pop->AddRow(row.label);
    }
    for (const char* name : {"LBSourcePop", "LBTargetPop"}) {
      auto pop = New<PopupMenu>();
      _AddControl(name, pop);
      for (const auto& row : LineBreakLabel) pop->AddRow(row.label);
    }
    _AddControl("ConvertLBCB", New<CheckBox>());
  }

 private:
  static void Select(PopupMenu& pop, const char* label) {
    for (std::int32_t i = 0; i < pop.ListCount(); ++i) {
      if (pop.List(i) == String(label)) pop.SetListIndex(i);
    }
  }
};

}  // namespace kolvane::test
