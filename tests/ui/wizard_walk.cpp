// Walks the wizard through its pages for screenshots: welcome, licence,
// setup, key page 1, finish. The wizard runs on an installer object whose
// string tables are made here, in English, so the pages look as they will.
// Prints "PAGE <name>" when a page is on show and waits for a line on its
// input (the caller's screenshot is taken) before it goes on.
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "core/install.h"
#include "support/table_builder.h"
#include "ui/wizard.h"
#include "ui/wnd_main.h"

namespace {

void BuildTables(CInstall& install) {
  TableBuilder common, extra, english, polish;
  common.Wide(0, u"Keyboard Layout")
      .Wide(40, u"Arial")
      .Wide(81, u"Sample Keyboard Layout")
      .Wide(82, u"Setup")
      .Wide(89, u"2.0")
      .Wide(93, u"Keyboard Layout Setup")
      .Wide(94, u"KeyboardLayoutSetupWalk")
      .Wide(92, u"English")
      .Wide(91, u"Polski");
  english.Wide(1, u"Language of this setup:")
      .Wide(97, u"Welcome to the setup of %s")
      .Wide(131,
            u"This program installs the keyboard layout, registers it for the input language you "
            u"choose and can give some keys another function.\r\n\r\nClick Next to continue.")
      .Wide(98, u"Cancel")
      .Wide(99, u"Next >")
      .Wide(100, u"< Back")
      .Wide(101, u"Input language for %s:")
      .Wide(102, u"Make it the default layout (%s)")
      .Wide(104, u"Install")
      .Wide(105, u"I accept the licence")
      .Wide(106, u"Put shortcuts on the desktop")
      .Wide(108, u"Alternative layout group")
      .Wide(110, u"Layout variant:")
      .Wide(111, u"Decimal key of the numeric keypad:")
      .Wide(112, u"Changes take effect after a restart.")
      .Wide(113, u"Standard")
      .Wide(114, u"Typist")
      .Wide(115, u"Programmer")
      .Wide(119, u"Comma")
      .Wide(120, u"Full stop")
      .Wide(127, u"Remove")
      .Wide(128, u"Modify")
      .Wide(132, u"Please read the licence agreement.")
      .Wide(133, u"Open the text file on the desktop to learn the layout.")
      .Wide(135, u"The layout was installed. Windows must restart before you can use it.")
      .Wide(136, u"Setup has finished.")
      .Wide(137, u"Finish and restart")
      .Wide(139, u"Turn off the key combinations that switch input languages")
      .Wide(152, u"Keys")
      .Wide(153, u"More keys")
      .Wide(154, u"")
      .Wide(96, u"Do you want to leave the setup?");
  polish.Wide(99, u"Dalej >");
  const struct {
    uint32_t id;
    const char16_t* name;
  } keys[] = {
      {280, u"Left Shift"},   {281, u"Right Shift"}, {282, u"Left Ctrl"}, {283, u"Right Ctrl"},
      {284, u"Left Alt"},     {285, u"Right Alt"},   {228, u"Left Win"},  {229, u"Right Win"},
      {230, u"Menu"},         {317, u"Key 102"},     {167, u"Tab"},       {174, u"Caps Lock"},
      {279, u"Scroll Lock"},  {278, u"Num Lock"},    {326, u"(nothing)"}, {176, u"Space"},
      {175, u"Esc"},          {311, u"`"},           {189, u"Insert"},    {190, u"Delete"},
      {180, u"Home"},         {179, u"End"},         {177, u"Page Up"},   {178, u"Page Down"},
      {188, u"Print Screen"}, {173, u"Pause"}};
  for (const auto& k : keys) extra.Wide(k.id, k.name);
  install.CommonStrings.Attach(common.Build(), common.Rows());
  install.ExtraStrings.Attach(extra.Build(), extra.Rows());
  install.LanguageStrings[0].Attach(english.Build(), english.Rows());
  install.LanguageStrings[1].Attach(polish.Build(), polish.Rows());
}

void Pump(CWizard& wizard, DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  MSG msg;
  do {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message != WM_QUIT) wizard.HandleMessage(msg);
    }
    Sleep(20);
  } while (GetTickCount() < end);
}

void Shot(CWizard& wizard, const char* name) {
  Pump(wizard, 400);
  std::printf("PAGE %s\n", name);
  std::fflush(stdout);
  std::string ack;
  std::getline(std::cin, ack);
}

void Click(CWizard& wizard, int id) {
  SendMessageW(GetDlgItem(wizard.currentPage->hwnd, id), BM_CLICK, 0, 0);
  Pump(wizard, 100);
}

}  // namespace

int main() {
  CInstall install;
  BuildTables(install);
  install.OsVersionCode = 61;
  install.IsAdmin = 1;
  install.LayoutLangId = 0x0409;
  install.LayoutVariant = 0;
  install.DecimalKeyChoice = 1;
  install.FindWorkingKey(0x003A)->VirtualKey = 0x00A2;  // Caps Lock as left Ctrl
  install.Wizard = std::make_unique<CWizard>(&install);
  CWizard& wizard = *install.Wizard;
  if (!wizard.Init(GetModuleHandleW(nullptr)) || !wizard.CreateMainWindow()) return 1;

  Shot(wizard, "welcome");
  Click(wizard, 1);
  Click(wizard, 305);
  Shot(wizard, "licence");
  Click(wizard, 1);
  Shot(wizard, "setup");
  Click(wizard, 303);
  Click(wizard, 1301);
  Shot(wizard, "keys");
  Click(wizard, 301);
  install.WizardStep = StepFinished;
  PostMessageW(wizard.MainHwnd(), WM_WIZ_DONE, 0, 0);
  Shot(wizard, "finish");
  install.Wizard.reset();
  return 0;
}
