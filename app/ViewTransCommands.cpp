#include "app/ViewTransCommands.h"

namespace {
constexpr const char* kFile = "파 일";
constexpr const char* kEdit = "편 집";
constexpr const char* kWork = "작업창";
constexpr const char* kCorrect = "이미지보정";
constexpr const char* kMouse = "마우스모드(Alt)";
constexpr const char* kView = "보 기(Q)";
constexpr const char* kHelp = "도움말";

constexpr const char* kSaveMenu = "저 장(스페이스바)";
constexpr const char* kPasteMenu = "붙여넣기(Ctrl + V)";
constexpr const char* kDeskewMenu = "기울기 보정(Z)";
constexpr const char* kPaperMenu = "문서 크기(T)";
constexpr const char* kSizeMenu = "이미지크기";
constexpr const char* kRotateMenu = "회 전";
constexpr const char* kShiftMenu = "이 동";
constexpr const char* kFixedMenu = "고정영역";
constexpr const char* kConvertMenu = "이미지 변환";
}  // namespace

const std::vector<const char*>& MainMenuCaptions() {
  static const std::vector<const char*> captions = {kFile, kEdit, kWork, kCorrect, kMouse, kView, kHelp};
  return captions;
}

const std::vector<TMenuItemSpec>& MenuItems() {
  using C = TCommand;
  static const std::vector<TMenuItemSpec> items = {
      {C::OpenFiles, kFile, nullptr, "파일 열기(O)", 0, false, 0},
      {C::OpenFolder, kFile, nullptr, "폴더 열기(Ctrl + O)", 0, false, 0},
      {C::FolderWatch, kFile, nullptr, "파일 자동 인식(Ctrl + R)", 0, true, 0},
      {C::ChooseSaveFolder, kFile, nullptr, "저장 경로 지정(P)", 0, false, 0},
      {C::CheckAll, kFile, nullptr, "목록에서 전체파일 선택(J)", 0, false, 0},
      {C::CheckFolder, kFile, nullptr, "목록에서 같은 폴더  파일 선택(Ctrl + J)", 0, false, 0},
      {C::UncheckAll, kFile, nullptr, "목록에서 파일 선택 해제(Shift + Esc)", 0, false, 0},
      {C::RemoveCurrent, kFile, nullptr, "목록에서 파일 제거(K)", 0, false, 0},
      {C::RemoveChecked, kFile, nullptr, "목록에서 선택 파일 제거(Shift + K)", 0, false, 0},
      {C::RemoveOdd, kFile, nullptr, "목록에서 홀수 순서 파일 제거", 0, false, 0},
      {C::RemoveEven, kFile, nullptr, "목록에서 짝수 순서 파일 제거", 0, false, 0},
      {C::RemoveAll, kFile, nullptr, "목록에서 전체 파일 제거(Ctrl + K)", 0, false, 0},
      {C::Previous, kFile, nullptr, "이전 이미지(↑)", 0, false, 0},
      {C::Next, kFile, nullptr, "다음 이미지(↓)", 0, false, 0},
      {C::Merge, kFile, nullptr, "하나의 파일(TIF,PDF)로 만들기(U)", 0, false, 0},
      {C::Split, kFile, nullptr, "여러개의 파일(TIF,PDF)로 분리하기(Ctrl + U)", 0, false, 0},
      {C::Convert, kFile, nullptr, "멀티TIF <-> PDF 변환하기", 0, false, 0},
      {C::TwoInOne, kFile, nullptr, "두 이미지를 좌우로 붙여 하나로 만들기(Ctrl + I)", 0, false, 0},
      {C::Print, kFile, nullptr, "인 쇄(Ctrl + P)", 0, false, 0},
      {C::SaveSame, kFile, kSaveMenu, "원본과 같은 압축", 10, true, 1},
      {C::SaveCcitt3, kFile, kSaveMenu, "CCITT3", 20, true, 1},
      {C::SaveCcitt4, kFile, kSaveMenu, "CCITT4", 30, true, 1},
      {C::SaveDeflate, kFile, kSaveMenu, "Deflate", 40, true, 1},
      {C::SaveJpeg, kFile, kSaveMenu, "JPEG", 50, true, 1},
      {C::SavePackBits, kFile, kSaveMenu, "PackBits", 60, true, 1},
      {C::SaveLzw, kFile, kSaveMenu, "LZW", 70, true, 1},
      {C::DoubleClickSave, kFile, kSaveMenu, "더블클릭시 저장", 0, true, 0},
      {C::Options, kFile, nullptr, "환경 설정(H)", 0, false, 0},
      {C::Exit, kFile, nullptr, "종 료(Ctrl + F4)", 0, false, 0},

      {C::Copy, kEdit, nullptr, "복사하기(Ctrl + C)", 0, false, 0},
      {C::PasteTransparent, kEdit, kPasteMenu, "투명하게", 10, true, 2},
      {C::PasteOpaque, kEdit, kPasteMenu, "불투명하게", 20, true, 2},
      {C::SelectAll, kEdit, nullptr, "전체 선택(Ctrl + A)", 0, false, 0},
      {C::Crop, kEdit, nullptr, "자르기(Enter)", 0, false, 0},
      {C::EraseInside, kEdit, nullptr, "내부지우기(Ctrl + X)", 0, false, 0},
      {C::EraseOutside, kEdit, nullptr, "외부지우기(Ctrl + Z)", 0, false, 0},

      {C::AutoCorrect, kWork, nullptr, "자동 보정(I)", 0, false, 0},
      {C::SemiAuto, kWork, nullptr, "반자동 보정(Ctrl + I)", 0, false, 0},
      {C::Magnifier, kWork, nullptr, "확대 창(Ctrl + B)", 0, false, 0},
      {C::FullScreen1, kWork, nullptr, "전체 화면 1(M)", 0, false, 0},
      {C::FullScreen2, kWork, nullptr, "전체화면 2(Ctrl + M)", 0, false, 0},
      {C::PageNumbers, kWork, nullptr, "페이지 번호 넣기", 0, false, 0},

      {C::DeskewKeep, kCorrect, kDeskewMenu, "이미지 크기 고정", 10, true, 3},
      {C::DeskewGrow, kCorrect, kDeskewMenu, "이미지 크기 증가", 20, true, 3},
      {C::DeskewHorizontal, kCorrect, kDeskewMenu, "가로 쓰기 문서 이미지", 100, true, 4},
      {C::DeskewVertical, kCorrect, kDeskewMenu, "세로 쓰기 문서 이미지", 200, true, 4},
      {C::Specks, kCorrect, nullptr, "잡티 제거(X)", 0, false, 0},
      {C::Darken, kCorrect, nullptr, "진하게 하기(F)", 0, false, 0},
      {C::Lighten, kCorrect, nullptr, "연하게 하기(L)", 0, false, 0},
      {C::Centre, kCorrect, nullptr, "가운데 정렬(C)", 0, false, 0},
      {C::BorderRemoval, kCorrect, nullptr, "테두리 지우기(V)", 0, false, 0},
      {C::CropBorders, kCorrect, nullptr, "테두리 잘라내기(Enter)", 0, false, 0},
      {C::FitMargins, kCorrect, nullptr, "여백에 맞추기(G)", 0, false, 0},
      {C::LineExtension, kCorrect, nullptr, "라인확장(C)", 0, false, 0},
      {C::GreyConvert, kCorrect, nullptr, "컬러 -> 회색 변환(/)", 0, false, 0},
      {C::PaperA4, kCorrect, kPaperMenu, "A4", 10, true, 5},
      {C::PaperA5, kCorrect, kPaperMenu, "A5", 20, true, 5},
      {C::PaperB4, kCorrect, kPaperMenu, "B4", 30, true, 5},
      {C::PaperB5, kCorrect, kPaperMenu, "B5", 40, true, 5},
      {C::PaperUser, kCorrect, kPaperMenu, "사용자 정의", 50, true, 5},
      {C::Enlarge, kCorrect, kSizeMenu, "크게(B)", 0, false, 0},
      {C::Reduce, kCorrect, kSizeMenu, "작게(N)", 0, false, 0},
      {C::RotateClockwise, kCorrect, kRotateMenu, "시계 방향(R)", 0, false, 0},
      {C::RotateCounterClockwise, kCorrect, kRotateMenu, "반시계 방향(E)", 0, false, 0},
      {C::Turn270, kCorrect, kRotateMenu, "반시계방향 90°(1)", 270, false, 0},
      {C::Turn90, kCorrect, kRotateMenu, "시계방향 90°(2)", 90, false, 0},
      {C::Turn180, kCorrect, kRotateMenu, "180°(3)", 180, false, 0},
      {C::ShiftUp, kCorrect, kShiftMenu, "위쪽(W)", 0, false, 0},
      {C::ShiftDown, kCorrect, kShiftMenu, "아래쪽(S)", 0, false, 0},
      {C::ShiftLeft, kCorrect, kShiftMenu, "왼쪽(A)", 0, false, 0},
      {C::ShiftRight, kCorrect, kShiftMenu, "오른쪽(D)", 0, false, 0},
      {C::FixedAdd, kCorrect, kFixedMenu, "영역 설정(일반선택+Y)", 0, false, 0},
      {C::FixedErase, kCorrect, kFixedMenu, "영역 내부 이미지 지우기(Y)", 0, false, 0},
      {C::FixedClear, kCorrect, kFixedMenu, "설정 영역 목록 제거(Ctrl+Y)", 0, false, 0},
      {C::FixedSelect, kCorrect, kFixedMenu, "영역을 마우스 일반선택 하기(4 또는 5)", 0, false, 0},

      {C::MouseNormal, kMouse, nullptr, "일반 선택", 10, true, 6},
      {C::MouseOuter, kMouse, nullptr, "외부영역 제거", 20, true, 6},
      {C::MouseInner, kMouse, nullptr, "내부영역 제거", 30, true, 6},

      {C::ZoomPage, kView, nullptr, "페이지 적합", 10, true, 7},
      {C::ZoomWidth, kView, nullptr, "가로(넓이)", 20, true, 7},
      {C::ZoomHeight, kView, nullptr, "세로(높이)", 30, true, 7},
      {C::ZoomActual, kView, nullptr, "원래 크기(100%)", 40, true, 7},
      {C::ToggleInvert, kView, nullptr, "반전된 이미지로 보기", 0, true, 0},
      {C::ToggleSmooth, kView, nullptr, "부드럽게 보기(AntiAliased)", 0, true, 0},
      {C::ToggleCrosshair, kView, nullptr, "십자선 보기", 0, true, 0},
      {C::ToggleGrid, kView, nullptr, "격자(그리드) 보기", 0, true, 0},
      {C::ToggleOutline, kView, nullptr, "테두리선 보기", 0, true, 0},
      {C::ToggleFixed, kView, nullptr, "고정영역 보이기", 0, true, 0},

      {C::About, kHelp, nullptr, "프로그램 정보", 0, false, 0},
      {C::Help, kHelp, nullptr, "도움말", 0, false, 0},
  };
  return items;
}

const std::vector<TToolButtonSpec>& ToolButtons() {
  using C = TCommand;
  using B = TToolbar;
  static const std::vector<TToolButtonSpec> buttons = {
      {C::OpenFiles, "선택한 파일 열기(O)", B::Left, false},
      {C::OpenFolder, "폴더의 모든파일 열기(Ctrl + O) ", B::Left, false},
      {C::FolderWatch, "폴더에 추가된 파일 자동 인식(ctrl + A)", B::Left, true},
      {C::ChooseSaveFolder, "저장할 폴더 선택(ctrl + S)", B::Left, false},
      {C::Save, "저장(스페이스바) - ", B::Left, false},
      {C::RemoveCurrent, "현재 파일 제거(K)", B::Left, false},
      {C::RemovePopup, "전체 파일 제거(Ctrl+K)", B::Left, false},
      {C::Print, "인쇄(P)", B::Left, false},

      {C::Previous, "이전 파일(↑키)", B::Command, false},
      {C::Next, "다음 파일(↓키)", B::Command, false},
      {C::AutoCorrect, "자동 보정(I)", B::Command, false},
      {C::SemiAuto, "반자동 보정(Ctrl + I)", B::Command, false},
      {C::Magnifier, "확대 창 보기(ctrl + B)", B::Command, false},
      {C::FullScreen1, "전체화면1 편집(M)", B::Command, false},
      {C::FullScreen2, "전체화면2 편집(Ctrl + M)", B::Command, false},
      {C::PageNumbers, "페이지 번호 넣기", B::Command, false},
      {C::Deskew, "기울기 보정(Z) - ", B::Command, false},
      {C::Specks, "설정한 높이, 넓이값에 따라 잡티를 제거(X)", B::Command, false},
      {C::Darken, "진하게 하기(F)", B::Command, false},
      {C::Lighten, "연하게 하기(L)", B::Command, false},
      {C::Centre, "가운데 정렬(C)", B::Command, false},
      {C::BorderRemoval, "테두리 제거(V)", B::Command, false},
      {C::CropBorders, "테두리 잘라내기(Enter)", B::Command, false},
      {C::FitMargins, "여백에 맞추기(G)", B::Command, false},
      {C::LineExtension, "라인 확장(C)", B::Command, false},
      {C::PaperSize, "문서크기(T) - ", B::Command, false},
      {C::ZoomCycle, "확대/축소 - ", B::Command, false},
      {C::Options, "환경설정(H)", B::Command, false},
      {C::About, "프로그램 정보", B::Command, false},
      {C::Help, "도움말", B::Command, false},
      {C::Exit, "종료(Ctrl + F4)", B::Command, false},

      {C::MouseNormal, "마우스모드 - 일반선택", B::MouseMode, true},
      {C::MouseOuter, "마우스모드 - 선택 외부영역 제거", B::MouseMode, true},
      {C::MouseInner, "마우스모드 - 선택 내부영역 제거", B::MouseMode, true},
  };
  return buttons;
}

const TMenuItemSpec* MenuItemFor(TCommand command) {
  for (const TMenuItemSpec& item : MenuItems())
    if (item.Command == command) return &item;
  return nullptr;
}

const std::vector<TPopupItemSpec>& RemovePopupItems() {
  static const std::vector<TPopupItemSpec> items = {
      {TCommand::RemoveOdd, "홀수 순서 파일 제거"},
      {TCommand::RemoveEven, "짝수 순서 파일 제거"},
      {TCommand::RemoveAll, "전체 파일 제거"},
  };
  return items;
}
