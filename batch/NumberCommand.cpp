// "pagemend number": page numbers stamped on every page of the files, as
// the page-number window does, into the output folder.
//
// Drawing text takes Qt's graphical libraries, whose loading would slow the
// start of every other pagemend command. So the stamping runs in its own
// program, pagemend-number, beside pagemend; pagemend itself only hands the
// arguments over (built with VELTRAX_NUMBER_PROGRAM naming that program).
#include "batch/ToolCommand.h"

#if !defined(VELTRAX_NUMBER_PROGRAM)
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "image/DibGraphic.h"
#include "image/ImagingHooks.h"
#include "pagework/FileTypes.h"
#include "tools/work/PageNumbers.h"
#include "utils/Utils.h"

// The glyphs come from Qt's font engine; a build without it cannot draw text.
#if defined(QT_WIDGETS_LIB)
#include <QFontDatabase>
#include <QGuiApplication>

#include "view/QtTextRenderer.h"
#define VELTRAX_NUMBER_TEXT 1
#endif
#endif

namespace {

constexpr const char* kUsage =
    "pagemend number [--text TEXT] [--start N] [--step N] [--font FACE] [--size N] [--style BIUS] [--x PCT] "
    "[--y PCT] [--align left|centre|right] [--valign top|bottom] --out DIR FILE|FOLDER...";

#if defined(VELTRAX_NUMBER_PROGRAM)

int Run(const std::vector<std::string>& args) {
  return RunSiblingProgram("pagemend number", VELTRAX_NUMBER_PROGRAM, args);
}

#else

int Usage(const std::string& why) {
  std::fprintf(stderr, "pagemend number: %s\nusage: %s\n", why.c_str(), kUsage);
  return 2;
}

bool IsNumber(const std::string& s) { return WholeNumberOr(s, 1) != 1 || WholeNumberOr(s, 2) != 2; }

// Inputs in the order given; a folder gives its image files (not its
// sub-folders) in name order.
std::vector<std::string> ExpandInputs(const std::vector<std::string>& inputs, std::string* error) {
  std::vector<std::string> files;
  for (const std::string& input : inputs) {
    std::error_code ec;
    if (std::filesystem::is_directory(input, ec)) {
      std::vector<std::string> found;
      for (const auto& e : std::filesystem::directory_iterator(input, ec))
        if (e.is_regular_file(ec) && IsImageFile(e.path().string())) found.push_back(e.path().string());
      std::sort(found.begin(), found.end());
      files.insert(files.end(), found.begin(), found.end());
    } else if (std::filesystem::is_regular_file(input, ec)) {
      files.push_back(input);
    } else {
      *error = "no such file or folder: " + input;
      return {};
    }
  }
  return files;
}

int Run(const std::vector<std::string>& args) {
  TPageNumberRun run;
  TPageNumberSettings& s = run.Settings;
  std::vector<std::string> inputs;
  std::string out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      inputs.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) return Usage(a + " needs a value");
    const std::string v = args[++i];
    if (a == "--text") {
      s.DisplayText = v;
    } else if (a == "--start" || a == "--step" || a == "--size" || a == "--x" || a == "--y") {
      if (!IsNumber(v)) return Usage(a + " needs a whole number");
      (a == "--start"  ? s.StartText
       : a == "--step" ? s.StepText
       : a == "--size" ? s.SizeText
       : a == "--x"    ? s.XText
                       : s.YText) = v;
    } else if (a == "--font") {
      s.FontName = v;
    } else if (a == "--style") {
      for (char c : v) {
        switch (c) {
          case 'B':
          case 'b':
            s.Bold = true;
            break;
          case 'I':
          case 'i':
            s.Italic = true;
            break;
          case 'U':
          case 'u':
            s.Underline = true;
            break;
          case 'S':
          case 's':
            s.StrikeOut = true;
            break;
          default:
            return Usage("--style takes the letters B, I, U and S");
        }
      }
    } else if (a == "--align") {
      s.Left = v == "left";
      s.Centre = v == "centre" || v == "center";
      s.Right = v == "right";
      if (!s.Left && !s.Centre && !s.Right) return Usage("--align is left, centre or right");
    } else if (a == "--valign") {
      s.Top = v == "top";
      s.Bottom = v == "bottom";
      if (!s.Top && !s.Bottom) return Usage("--valign is top or bottom");
    } else if (a == "--out") {
      out = v;
    } else {
      return Usage("unknown option " + a);
    }
  }
  if (out.empty()) return Usage("--out DIR is required");
  if (inputs.empty()) return Usage("no files or folders given");
  if (!HasNumberPlace(s.DisplayText)) {
    std::fprintf(stderr, "pagemend number: %s\n", kNoNumberPlaceMessage);
    return 2;
  }
  std::string error;
  run.Files = ExpandInputs(inputs, &error);
  if (!error.empty()) return Usage(error);
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (!std::filesystem::is_directory(out, ec)) {
    std::fprintf(stderr, "pagemend number: cannot make the folder %s\n", out.c_str());
    return 1;
  }
  run.SaveFolder = out;
  run.Save = SaveOptionsOf(LoadSettings());
#if VELTRAX_NUMBER_TEXT
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    std::fprintf(stderr, "pagemend number: text drawing needs the program's graphical start\n");
    return 1;
  }
  ImagingHooks().TextRenderer = std::make_shared<TQtTextRenderer>();
  s.FontName = StampFaceFor(s.FontName,
                            [](const std::string& f) { return QFontDatabase::hasFamily(QString::fromStdString(f)); });
#else
  std::fprintf(stderr, "pagemend number: this build draws no text\n");
  return 1;
#endif
  // Each page's font is sized for its own resolution (FontDpi 0).
  try {
    StampPageNumbers(run, [&](int position, int maximum) {
      std::fprintf(stdout, "\r%d/%d", position, maximum);
      std::fflush(stdout);
      return true;
    });
    std::fprintf(stdout, "\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "\npagemend number: %s\n", e.what());
    return 1;
  }
  return 0;
}

#endif

const TToolCommand kNumber("number", kUsage, Run);

}  // namespace
