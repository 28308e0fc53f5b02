// Every command of the main window, its menu caption, toolbar hint and tag.
// The texts are the program's own and must stay byte for byte as they are.
#pragma once

#include <vector>

enum class TCommand {
  None,
  // File
  OpenFiles,
  OpenFolder,
  FolderWatch,
  ChooseSaveFolder,
  CheckAll,
  CheckFolder,
  UncheckAll,
  RemoveCurrent,
  RemoveChecked,
  RemoveOdd,
  RemoveEven,
  RemoveAll,
  RemovePopup,
  Previous,
  Next,
  First,
  Last,
  Merge,
  Split,
  Convert,
  TwoInOne,
  Print,
  Save,
  SaveSame,
  SaveCcitt3,
  SaveCcitt4,
  SaveDeflate,
  SaveJpeg,
  SavePackBits,
  SaveLzw,
  DoubleClickSave,
  Options,
  Exit,
  // Edit
  Copy,
  PastePopup,
  PasteTransparent,
  PasteOpaque,
  Paste,
  SelectAll,
  Crop,
  EraseInside,
  EraseOutside,
  // Work windows
  AutoCorrect,
  SemiAuto,
  Magnifier,
  FullScreen1,
  FullScreen2,
  PageNumbers,
  // Image correction
  Deskew,
  DeskewKeep,
  DeskewGrow,
  DeskewHorizontal,
  DeskewVertical,
  Specks,
  Darken,
  Lighten,
  Centre,
  BorderRemoval,
  CropBorders,
  FitMargins,
  LineExtension,
  GreyConvert,
  PaperSize,
  PaperA4,
  PaperA5,
  PaperB4,
  PaperB5,
  PaperUser,
  Enlarge,
  Reduce,
  RotateClockwise,
  RotateCounterClockwise,
  Turn270,
  Turn90,
  Turn180,
  ShiftUp,
  ShiftDown,
  ShiftLeft,
  ShiftRight,
  FixedAdd,
  FixedErase,
  FixedClear,
  FixedSelect,
  FixedNext,
  FixedPrevious,
  // Mouse mode
  MouseNormal,
  MouseOuter,
  MouseInner,
  MouseCycle,
  // View
  ZoomPage,
  ZoomWidth,
  ZoomHeight,
  ZoomActual,
  ZoomCycle,
  ToggleInvert,
  ToggleSmooth,
  ToggleCrosshair,
  ToggleGrid,
  ToggleOutline,
  ToggleFixed,
  // Help
  About,
  Help,
  // Keys without a menu item
  Escape,
  ShiftAlone,
  AddFixedOrErase,
  CloseOrEditor
};

// A menu entry: top-level menu index, optional submenu caption, caption,
// tag (0 = none), whether it is checkable and in which radio group.
struct TMenuItemSpec {
  TCommand Command;
  const char* Menu;     // top-level caption
  const char* Submenu;  // submenu caption or nullptr
  const char* Caption;
  int Tag;
  bool Checkable;
  int RadioGroup;  // 0 = none
};

// Toolbar buttons: command, hint (for choice buttons the caption the chosen
// item is appended to), which toolbar.
enum class TToolbar { Left, Command, MouseMode };
struct TToolButtonSpec {
  TCommand Command;
  const char* Hint;
  TToolbar Bar;
  bool Toggle;
};

const std::vector<const char*>& MainMenuCaptions();
const std::vector<TMenuItemSpec>& MenuItems();
const std::vector<TToolButtonSpec>& ToolButtons();
const TMenuItemSpec* MenuItemFor(TCommand command);

// The popup of the remove button.
struct TPopupItemSpec {
  TCommand Command;
  const char* Caption;
};
const std::vector<TPopupItemSpec>& RemovePopupItems();
