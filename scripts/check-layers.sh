#!/usr/bin/env bash
# A window goes in src/gui/<area>/, a rule in src/<area>/: fails when a file
# outside src/gui/ (other than the executable's src/main.cpp) includes a widget
# or print-support header.
set -euo pipefail
cd "$(dirname "$0")/.."
widgets='#include *[<"](QtWidgets|QtPrintSupport|QtUiTools|Q(Abstract(Button|ItemView|ScrollArea|Slider|SpinBox)|Application|BoxLayout|ButtonGroup|CheckBox|ColorDialog|ColumnView|ComboBox|CommandLinkButton|DateEdit|DateTimeEdit|Dial|Dialog|DialogButtonBox|DockWidget|DoubleSpinBox|ErrorMessage|FileDialog|FocusFrame|FontComboBox|FontDialog|FormLayout|Frame|GraphicsView|GridLayout|GroupBox|HBoxLayout|HeaderView|InputDialog|ItemDelegate|KeySequenceEdit|Label|LCDNumber|Layout|LineEdit|ListView|ListWidget|MainWindow|MdiArea|MdiSubWindow|Menu|MenuBar|MessageBox|PlainTextEdit|ProgressBar|ProgressDialog|PushButton|RadioButton|RubberBand|ScrollArea|ScrollBar|SizeGrip|Slider|SpinBox|SplashScreen|Splitter|StackedWidget|StatusBar|StyledItemDelegate|SystemTrayIcon|TabBar|TableView|TableWidget|TabWidget|TextBrowser|TextEdit|TimeEdit|ToolBar|ToolBox|ToolButton|ToolTip|TreeView|TreeWidget|UndoView|VBoxLayout|WhatsThis|Widget|WidgetAction|Wizard|WizardPage|Printer|PrintDialog|PrintPreviewDialog|PrintPreviewWidget|PageSetupDialog))[>"]'
hits=$(git ls-files -- 'src/*.cpp' 'src/*.h' | grep -v '^src/gui/' | grep -v '^src/main\.cpp$' \
       | xargs -r grep -nE "$widgets" || true)
if [ -n "$hits" ]; then
  echo "A window goes in src/gui/<area>/, a rule in src/<area>/. These files outside src/gui/ include widget headers:" >&2
  echo "$hits" >&2
  exit 1
fi

# The table engine is the one user of the SQLite C API: statements, change
# counts and transaction state reach the other areas through src/data/.
hits=$(git ls-files -- 'src/*.cpp' 'src/*.h' | grep -v '^src/data/' \
       | xargs -r grep -nE '#include *[<"]sqlite3\.h[>"]' || true)
if [ -n "$hits" ]; then
  echo "Only src/data/ talks to SQLite. These files outside it include sqlite3.h:" >&2
  echo "$hits" >&2
  exit 1
fi
