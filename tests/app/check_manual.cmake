# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the help manual beside the built executable: it exists, is UTF-8 with a table of
# contents whose every link has its anchor, pulls in nothing from outside, and names every
# caption of the main menu, the tool bar, the popup menus and the windows as the user sees them
# (access-key "&" removed).
# Run: cmake -DMANUAL=<path of morvane.html> -P check_manual.cmake

if(NOT DEFINED MANUAL)
    message(FATAL_ERROR "check_manual: pass -DMANUAL=<path>")
endif()
if(NOT EXISTS "${MANUAL}")
    message(FATAL_ERROR "check_manual: ${MANUAL} does not exist beside the executable")
endif()

file(READ "${MANUAL}" html)
string(LENGTH "${html}" size)
if(size LESS 20000)
    message(FATAL_ERROR "check_manual: ${MANUAL} is only ${size} bytes")
endif()

set(failures "")

if(NOT html MATCHES "<meta charset=\"utf-8\"")
    list(APPEND failures "no UTF-8 charset declaration")
endif()

# No external resources: nothing loaded from elsewhere, no script needed.
foreach(pattern " src=" "<script" "<link " "url\\(")
    if(html MATCHES "${pattern}")
        list(APPEND failures "external resource or script: ${pattern}")
    endif()
endforeach()

# Every in-page link has its anchor.
string(REGEX MATCHALL "href=\"[^\"]*\"" hrefs "${html}")
list(LENGTH hrefs href_count)
if(href_count LESS 20)
    list(APPEND failures "table of contents has only ${href_count} links")
endif()
foreach(href IN LISTS hrefs)
    string(REGEX REPLACE "^href=\"(.*)\"$" "\\1" target "${href}")
    if(NOT target MATCHES "^#")
        list(APPEND failures "link leaves the file: ${target}")
        continue()
    endif()
    string(SUBSTRING "${target}" 1 -1 anchor)
    string(FIND "${html}" "id=\"${anchor}\"" at)
    if(at EQUAL -1)
        list(APPEND failures "link without anchor: ${target}")
    endif()
endforeach()

# Captions as shown on screen.
set(captions
    # main menu
    "ファイル(F)" "開く" "終了"
    "編集(E)" "元に戻す(U)" "すべて選択" "画像のみ選択(A)" "画像以外選択" "コピーと移動(M)..." "削除"
    "名前の変更(R)..."
    "表示(V)" "更新(N)" "フォルダ更新" "サイズ" "クオリティ" "UpDate"
    "ツール(T)" "エクスプローラーを開く" "フォルダの新規作成(M)..." "登録１" "登録２" "登録３"
    "オプション..."
    "ヘルプ(H)" "ヘルプ" "バージョン情報"
    # radio items of the size and quality menus
    ">32<" ">48<" ">64<" ">96<" ">128<" ">256<" ">320<"
    ">Full<" ">Half<" ">Quarter<" ">Eighth<"
    # tabs
    "フォルダー" "Exif"
    # viewer popup menu
    "ファイラーを前に(Q)" "１つ戻る(B)" "スライドショー(G)" "停止(S)" "時間"
    "０．５秒(1)" "０．７秒(2)" "１秒(3)" "１．５秒(4)" "２秒(5)" "３秒(6)" "５秒(7)"
    "情報表示(I)" "表示サイズ" "そのまま(H)" "拡大縮小(J)" "縮小のみ(K)" "おまけ(L)"
    # window captions
    "サクサク閲覧、ガシガシ整理　「Morvane」" "フォルダの操作とファイルのコピー、移動"
    "名前の変更" "オプション" "バージョン"
    # dialog controls
    "現在のファイル名" "新しいファイル名" "連番開始番号" "前回の最後のファイル名" "制御文字ヘルプ"
    "実行" "キャンセル" "選択されているフォルダ" "新しく作成するフォルダの名前" "新規作成"
    "コピー" "移動" "閉じる" "タイトル" "コマンド"
    # settings file
    "morvane.ini" "[Main]" "[View]" "[Option]" "~/.config/morvane/morvane.ini")
foreach(caption IN LISTS captions)
    string(FIND "${html}" "${caption}" at)
    if(at EQUAL -1)
        list(APPEND failures "caption missing: ${caption}")
    endif()
endforeach()

# Every settings key is described.
foreach(key Top Left Height Width UpDate Timer Info1 Info5 T1 T2 T4 T5 T7 T8 TN1 TN3 Size7 Quality4
            Time7)
    string(FIND "${html}" "<code>${key}</code>" at)
    if(at EQUAL -1)
        list(APPEND failures "settings key missing: ${key}")
    endif()
endforeach()

if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "check_manual: ${MANUAL}\n  ${text}")
endif()
message(STATUS "check_manual: ${MANUAL} ok (${size} bytes, ${href_count} links)")
