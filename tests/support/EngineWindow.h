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
  using ConverterWindow::p_Convert;
  using ConverterWindow::p_ConvertSubFolder;
  using ConverterWindow::p_ConvertFile;
  using ConverterWindow::p_CountItems;
  using ConverterWindow::p_SetTargetFolder;
  using ConverterWindow::StatusBar;
  using ConverterWindow::StatusText;
  using ConverterWindow::myPanel;
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
    // The progress display, as the main window has it: the bar and the status line on
    // the second page of the tab panel.
    auto panel = New<TabPanel>();
    _AddControl("myPanel", panel);
    panel->_SetProperties({{"Left", 10}, {"Top", 69}, {"Width", 428}, {"Height", 203},
                           {"TabDefinition", String("Single File Conversion\rBatch Conversion")}});
    auto bar = New<ProgressBar>();
    _AddControl("StatusBar", bar);
    bar->_SetProperties({{"Left", 20}, {"Top", 204}, {"Width", 408}, {"Height", 16}, {"TabPanelIndex", 2},
                         {"InitialParent", String("myPanel")}, {"Value", 0}, {"Maximum", 100}});
    auto status = New<StaticText>();
    _AddControl("StatusText", status);
    status->_SetProperties({{"Left", 20}, {"Top", 217}, {"Width", 408}, {"Height", 20}, {"TabPanelIndex", 2},
                            {"InitialParent", String("myPanel")}, {"Text", String("-")}});
  }

 private:
  static void Select(PopupMenu& pop, const char* label) {
    for (std::int32_t i = 0; i < pop.ListCount(); ++i) {
      if (pop.List(i) == String(label)) pop.SetListIndex(i);
    }
  }
};

}  // namespace kolvane::test
