// The sections of the worker thread, in report order, with their headers and
// the string-table entries handed to each probe.
#include "app/section_table.h"

#include "probes/apps/acrobat.h"
#include "probes/apps/docuworks.h"
#include "probes/apps/media_player.h"
#include "probes/apps/office.h"
#include "probes/apps/security_software.h"
#include "probes/browser/browser_windows.h"
#include "probes/browser/chrome_edge.h"
#include "probes/browser/ie_addons.h"
#include "probes/browser/ie_security.h"
#include "probes/browser/ie_version.h"
#include "probes/browser/native_messaging.h"
#include "probes/process/process_list.h"
#include "probes/process/product_modules.h"
#include "probes/system/default_folders.h"
#include "probes/system/memory_cache.h"
#include "probes/system/monitors.h"
#include "probes/system/os_version.h"
#include "probes/system/print_screen.h"
#include "probes/system/printers.h"
#include "probes/system/terminal_type.h"
#include "probes/system/user_rights.h"
#include "probes/system/virtual_devices.h"

namespace {
const char kMonitorRemark[] =
    " ※ 複製モニター設定の場合は、メインモニタにまとめて１つの列挙となります。\n";
}  // namespace

const SectionRow kSections[] = {
    {"\nOSの確認 \n", nullptr, HeaderLevel::Support, {5, 4, 0},
     [](const Limits& l) { CheckOSVersion(l.text[0], l.text[1]); }},
    {"\nモニターの確認(高DPI対策:無) \n", kMonitorRemark, HeaderLevel::Detail, {0, 0, 0},
     [](const Limits&) { CheckMonitors(false); }},
    {"\nモニターの確認(高DPI対策:有) WindowRect 比較はこちらの仮想RECTで実施\n", kMonitorRemark,
     HeaderLevel::Support, {0, 0, 0}, [](const Limits&) { CheckMonitors(true); }},
    {"\nInternetExplorerのバージョン確認 \n", nullptr, HeaderLevel::Support, {7, 6, 0},
     [](const Limits& l) { CheckInternetExplorer(l.text[0], l.text[1]); }},
    {"\nNativeMessagingの確認 \n", nullptr, HeaderLevel::Support, {0, 0, 0},
     [](const Limits&) { CheckNativeMessaging(); }},
    {"\nGoogle Chromeのバージョン確認 \n", nullptr, HeaderLevel::Support, {0, 0, 0},
     [](const Limits&) { CheckChrome(); }},
    {"\nMicrosoft Edgeのバージョン確認 \n", nullptr, HeaderLevel::Support, {0, 0, 0},
     [](const Limits&) { CheckEdge(); }},
    {"\nAcrobat/AdobeReaderのバージョン確認 \n", nullptr, HeaderLevel::Support, {9, 8, 0},
     [](const Limits& l) { NavigattingPDF(l.text[0], l.text[1]); }},
    {"\nWindows Media Playerのバージョン確認 \n", nullptr, HeaderLevel::Support, {3, 2, 1},
     [](const Limits& l) { CheckWindowsMediaPlayer(l.text[0], l.text[1], l.text[2]); }},
    {"\nMicrosoft Officeのバージョン確認 \n", nullptr, HeaderLevel::Support, {11, 10, 0},
     [](const Limits& l) { CheckOffice(l.text[0], l.text[1]); }},
    {"\nDocuWorksのバージョン確認 \n", nullptr, HeaderLevel::Support, {13, 12, 0},
     [](const Limits& l) { CheckDocuWorks(l.text[0], l.text[1]); }},
    {"\nキャッシュの保存容量", nullptr, HeaderLevel::Support, {0, 0, 0}, [](const Limits&) { CheckInternetCache(); }},
    {"\nメモリの利用状況", nullptr, HeaderLevel::Support, {0, 0, 0}, [](const Limits&) { CheckMemory(); }},
    {"\nブラウザの設定", nullptr, HeaderLevel::Support, {0, 0, 0}, [](const Limits&) { CheckIESecurity(); }},
    {"\nIEアドオンの一覧", nullptr, HeaderLevel::Support, {0, 0, 0}, [](const Limits&) { ListIEAddons(); }},
    {"\nプロセス一覧", nullptr, HeaderLevel::Support, {0, 0, 0}, [](const Limits&) { CheckProcessList(); }},
    {"\nセキュリティソフトの種別", nullptr, HeaderLevel::Support, {0, 0, 0},
     [](const Limits&) { CheckSecuritySoftware(); }},
    {"\nプリンタの一覧", nullptr, HeaderLevel::Support, {0, 0, 0}, [](const Limits&) { ListPrinters(); }},
    {"\nユーザ権限の確認", nullptr, HeaderLevel::Support, {0, 0, 0}, [](const Limits&) { CheckUserRights(); }},
    {"\nブラウザのモジュール/ウィンドウ構成確認 \n", nullptr, HeaderLevel::Support, {0, 0, 0},
     [](const Limits&) { CheckAllIEWindow(); }},
    {"\nモジュール構成確認 \n", nullptr, HeaderLevel::Support, {0, 0, 0}, [](const Limits&) { CheckProductModules(); }},
    {"\n仮想Deviceの確認", nullptr, HeaderLevel::Support, {0, 0, 0}, [](const Limits&) { checkVM(); }},
    {"\n checkType 端末種類の確認", nullptr, HeaderLevel::Support, {0, 0, 0}, [](const Limits&) { checkType(); }},
    {"\n 既定フォルダーの確認 \n", nullptr, HeaderLevel::Support, {0, 0, 0},
     [](const Limits&) { CheckDefaultFolders(); }},
};
const unsigned kSectionCount = sizeof kSections / sizeof kSections[0];
