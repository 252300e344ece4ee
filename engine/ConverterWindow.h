// The converting half of the main window: the conversion operations and the window
// state they work on. The operations read the user's choices from the window's controls
// by name at the moment of the call, and write the progress display the same way.
#pragma once

#include <cstdint>

#include "platform/Controls.h"
#include "platform/FolderItem.h"
#include "platform/String.h"
#include "platform/Window.h"

namespace kolvane {

class ConverterWindow : public Window {
 public:
  // The window's state.
  Ref<FolderItem> TargetFolder;
  Ref<FolderItem> SourceFolder;
  Ref<FolderItem> SourceFile;
  std::int32_t ItemCount = 0;

  // The text converted from the source label's encoding to the target label's; the
  // empty text after a failure, which is reported here.
  String p_ConvertText(const String& sourceLabel, const String& targetLabel, String text);
  // The text with every source line break replaced by the target's; the empty text
  // after a failure, which is reported here.
  String p_ConvertCRLF(const String& sourceLabel, const String& targetLabel, String text);

 protected:
  // Converts one file into a new file beside it; returns that file, or none after a
  // failure, which is reported here.
  Ref<FolderItem> p_ConvertSingleFile(Ref<FolderItem> file);

  // The folder run: counts the visible files of the source tree, then converts the tree
  // into a folder named after the source with "_Converted" appended, inside the target,
  // showing progress after each file and stopping when Escape is held. Failures are
  // reported here; it always returns normally.
  void p_Convert(Ref<FolderItem> source, Ref<FolderItem> target);
  // One subfolder level: creates the same-named folder in targetParent and converts the
  // subtree into it.
  void p_ConvertSubFolder(Ref<FolderItem> source, Ref<FolderItem> targetParent);
  // One file of a run, under its own name in targetFolder; advances the progress display.
  void p_ConvertFile(Ref<FolderItem> source, Ref<FolderItem> targetFolder);
  // Adds the number of visible files of the folder's tree to ItemCount.
  void p_CountItems(Ref<FolderItem> folder);
  // Lets the user choose the target folder.
  void p_SetTargetFolder();

  // While the scope lives, walks from source keep out of the output folder that a run of
  // source into target writes, and whatever it holds: a target inside the source tree,
  // or a link into the copy, is neither counted nor entered, and the count shown before
  // a run is the run's own.
  class RunOutputScope {
   public:
    RunOutputScope(ConverterWindow& window, const Ref<FolderItem>& source, const Ref<FolderItem>& target);
    ~RunOutputScope();
    RunOutputScope(const RunOutputScope&) = delete;
    RunOutputScope& operator=(const RunOutputScope&) = delete;

   private:
    ConverterWindow& window_;
    Ref<FolderItem> savedOutput_;
    Ref<FolderItem> savedSource_;
  };

  // Marks a conversion under way while it lives, unless one already is: then it is
  // refused, and the caller starts nothing. A run yields to the user's input, and a
  // second run inside it would convert files twice.
  class ConversionGuard {
   public:
    explicit ConversionGuard(ConverterWindow& window);
    ~ConversionGuard();
    ConversionGuard(const ConversionGuard&) = delete;
    ConversionGuard& operator=(const ConversionGuard&) = delete;
    bool Refused() const { return refused_; }

   private:
    ConverterWindow& window_;
    bool refused_;
  };

  // The controls the conversion reads and writes.
  Ref<PopupMenu> SourcePop() const { return ControlByName<PopupMenu>("SourcePop"); }
  Ref<PopupMenu> TargetPop() const { return ControlByName<PopupMenu>("TargetPop"); }
  Ref<PopupMenu> LBSourcePop() const { return ControlByName<PopupMenu>("LBSourcePop"); }
  Ref<PopupMenu> LBTargetPop() const { return ControlByName<PopupMenu>("LBTargetPop"); }
  Ref<CheckBox> ConvertLBCB() const { return ControlByName<CheckBox>("ConvertLBCB"); }
  Ref<ProgressBar> StatusBar() const { return ControlByName<ProgressBar>("StatusBar"); }
  Ref<StaticText> StatusText() const { return ControlByName<StaticText>("StatusText"); }
  Ref<TabPanel> myPanel() const { return ControlByName<TabPanel>("myPanel"); }

 private:
  // A conversion of a file's text that failed, and has said so: that file's conversion
  // ends, and nothing is written for it. An empty text would pass for a converted one.
  struct ConversionFailed {};
  // p_ConvertText and p_ConvertCRLF, raising ConversionFailed after their message.
  String ConvertText(const String& sourceLabel, const String& targetLabel, String text);
  String ConvertCRLF(const String& sourceLabel, const String& targetLabel, String text);
  // The user's choices applied to a text: the encodings, then the line breaks if asked.
  String ApplyChoices(String text);
  // Writes the text converted from source as the file out, with the type and creator
  // codes given.
  void WriteConverted(const Ref<FolderItem>& source, const Ref<FolderItem>& out, const String& text,
                      const String& type, const String& creator);
  // The loop over one folder's entries, the same at every level.
  void ConvertItems(const Ref<FolderItem>& source, const Ref<FolderItem>& out);

  // The run under way: its output folder and its source.
  Ref<FolderItem> runOutput_;
  Ref<FolderItem> runSource_;
  bool conversionUnderWay_ = false;
};

}  // namespace kolvane
