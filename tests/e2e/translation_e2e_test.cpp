// SPDX-License-Identifier: GPL-2.0-or-later
// The real program in each language it has a catalogue for: the texts it
// shows, read back through the text probe module, and its usage lines. The
// catalogues come from the build: the program run here is the build's main.cpp
// bound to them (tests/CMakeLists.txt), so that no root is needed to lay them
// where the installed program looks.
#include "app/version.h"
#include "e2e/list_e2e_fixture.h"

#include "support/wait.h"

#include <sys/stat.h>

#include <clocale>
#include <cwchar>
#include <set>
#include <sstream>
#include <string>

namespace {

struct Language {
    const char *name;
    const char *locale;
    const char *check_button; // as the probe writes it: "_" marks, "\n" for line breaks
    const char *menu_entry;
    const char *usage_line;
    const char *preferences_title;
    const char *question;      // a line of the first-start question
    const char *using_line;    // "%s" stands for the file given with -c
    const char *write_warning; // for a file that is a pipe
};

const Language LANGUAGES[] = {
    {"German", "de_DE.UTF-8", "_Zurück zu quorvane, wenn der\\nFenstermanager beendet wird",
     "Nach bekannten Fenstermanagern _suchen …", "Aufruf: quorvane [OPTIONEN]\n", "Einstellungen",
     "Soll nach bekannten Fenstermanagern gesucht werden?",
     "Konfigurationsdatei %s wird verwendet\n",
     "Die Konfigurationsdatei kann nicht geschrieben werden: sie konnte beim Start nicht "
     "vollständig gelesen werden (keine gewöhnliche Datei)"},
    // French puts a no-break space before the colon, a narrow one before the
    // question mark, and writes the apostrophe as ’.
    {"French", "fr_FR.UTF-8", "_Revenir à quorvane quand\\nle gestionnaire se termine",
     "_Rechercher les gestionnaires de fenêtres connus…", "utilisation\u00a0: quorvane [OPTIONS]\n",
     "Préférences", "Voulez-vous rechercher les gestionnaires connus\u202f?", "utilisation de %s\n",
     "Impossible d’écrire le fichier de configuration\u00a0: il n’a pas pu être lu entièrement "
     "au démarrage (pas un fichier ordinaire)"},
    {"Spanish", "es_ES.UTF-8", "_Volver a quorvane cuando\\ntermine el gestor de ventanas",
     "_Buscar gestores de ventanas conocidos…", "uso: quorvane [OPCIONES]\n", "Preferencias",
     "¿Quiere buscar los gestores de ventanas conocidos?", "usando %s\n",
     "No se puede escribir el archivo de configuración: no se pudo leer por completo al iniciar "
     "(no es un archivo normal)"},
    {"Italian", "it_IT.UTF-8", "_Ritorna a quorvane quando\\nil gestore di finestre termina",
     "_Cerca gestori di finestre conosciuti…", "uso: quorvane [OPZIONI]\n", "Preferenze",
     "Cercare i gestori di finestre conosciuti?", "uso del file %s\n",
     "Impossibile scrivere il file di configurazione: non è stato possibile leggerlo per intero "
     "all'avvio (non è un file normale)"},
    {"BrazilianPortuguese", "pt_BR.UTF-8",
     "_Voltar ao quorvane quando\\no gerenciador de janelas terminar",
     "_Buscar gerenciadores de janelas conhecidos…", "uso: quorvane [OPÇÕES]\n", "Preferências",
     "Deseja procurar os gerenciadores conhecidos?", "usando %s\n",
     "Não foi possível gravar o arquivo de configuração: não foi possível lê-lo por inteiro na "
     "inicialização (não é um arquivo comum)"},
    {"Russian", "ru_RU.UTF-8", "_Вернуться в quorvane после\\nзавершения оконного менеджера",
     "_Поиск известных оконных менеджеров…", "Использование: quorvane [ПАРАМЕТРЫ]\n", "Параметры",
     "Найти известные оконные менеджеры?", "используется %s\n",
     "Не удаётся записать файл конфигурации: его не удалось полностью прочитать при запуске (не "
     "является обычным файлом)"},
    // Japanese puts the key in brackets after the text.
    {"Japanese", "ja_JP.UTF-8", "ウィンドウマネージャーの終了後に\\nquorvane に戻る(_G)",
     "既知のウィンドウマネージャーを検索(_S)…", "使い方: quorvane [オプション]\n", "設定",
     "既知のウィンドウマネージャーを検索しますか？", "%s を使用します\n",
     "設定ファイルに書き込めません: 起動時に全体を読み込めませんでした "
     "(通常のファイルではありません)"},
};

void PrintTo(const Language &language, std::ostream *os) {
    *os << language.name;
}

// The column a terminal reaches after TEXT, with tabs every eight columns and
// each character as wide as it is shown (two columns for most of Japanese).
size_t display_column(const std::string &text) {
    locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
    const locale_t previous = uselocale(utf8);
    size_t column = 0;
    std::mbstate_t state{};
    const char *next = text.c_str();
    const char *const end = next + text.size();
    while (next < end) {
        wchar_t c;
        const size_t length = std::mbrtowc(&c, next, static_cast<size_t>(end - next), &state);
        if (length == 0 || length > static_cast<size_t>(end - next)) {
            ++column; // not UTF-8: count the byte, as a terminal would show a mark
            ++next;
            state = std::mbstate_t{};
            continue;
        }
        const int width = wcwidth(c);
        column = c == L'\t' ? (column / 8 + 1) * 8 : column + (width > 0 ? width : 0);
        next += length;
    }
    uselocale(previous);
    freelocale(utf8);
    return column;
}

bool locale_exists(const char *name) {
    const std::string saved = setlocale(LC_ALL, nullptr);
    const bool found = setlocale(LC_ALL, name) != nullptr;
    setlocale(LC_ALL, saved.c_str());
    return found;
}

class TranslationE2e : public ListE2e, public ::testing::WithParamInterface<Language> {
  protected:
    void SetUp() override {
        if (!locale_exists(GetParam().locale))
            GTEST_SKIP() << "the locale " << GetParam().locale
                         << " is not generated (scripts/test generates it)";
        ListE2e::SetUp();
        run_program(QUORVANE_BUILD_CATALOGUES_BINARY);
    }

    std::map<std::string, std::string> language_env() {
        return {{"LANG", GetParam().locale},
                {"GTK_MODULES", TEXT_PROBE_MODULE},
                {"QUORVANE_TEXT_PROBE", path_of("texts")}};
    }

    // The "TITLE|TEXT" lines that the probe last wrote.
    std::set<std::string> shown() {
        std::set<std::string> lines;
        std::istringstream text(file_exists(path_of("texts")) ? read_file(path_of("texts")) : "");
        std::string line;
        while (std::getline(text, line))
            lines.insert(line);
        return lines;
    }
    bool wait_until_shown(const std::string &line) {
        return wait_for([&] { return shown().count(line) != 0; });
    }
    std::string shown_text() {
        std::string all;
        for (const std::string &line : shown())
            all += line + "\n";
        return all;
    }
};

TEST_P(TranslationE2e, WindowAndMenuSpeakTheLanguageButNamesDoNot) {
    const Language &language = GetParam();
    install_fake_wm("first-wm");
    write_config({"First=first-wm"}, 0, 0);
    start({}, language_env());
    main_ = window_with_rows(1);
    ASSERT_NE(main_, 0u) << err();

    // The window's title is the program's name, never translated.
    EXPECT_TRUE(wait_until_shown(std::string(MAIN_TITLE "|") + language.check_button))
        << shown_text();

    ASSERT_NE(open_menu_on_row(0), 0u);
    ASSERT_TRUE(wait_for([&] {
        for (const std::string &line : shown())
            if (line.size() > 1 && line.substr(line.find('|') + 1) == language.menu_entry)
                return true;
        return false;
    })) << shown_text();
    // Every entry of the menu keeps a key of its own.
    std::set<std::string> keys;
    int entries = 0;
    for (const std::string &line : shown()) {
        if (line.rfind(MAIN_TITLE "|", 0) == 0 || line.back() == '|')
            continue;
        const std::string text = line.substr(line.find('|') + 1);
        const auto mark = text.find('_');
        ASSERT_NE(mark, std::string::npos) << text;
        ++entries;
        // The key is the character after the mark, maybe more than one byte.
        size_t end = mark + 2;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80)
            ++end;
        std::string key = text.substr(mark + 1, end - mark - 1);
        for (char &c : key)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        keys.insert(key);
    }
    EXPECT_EQ(entries, 6) << shown_text();
    EXPECT_EQ(keys.size(), 6u) << shown_text();
    x().key("Escape");
    ASSERT_TRUE(wait_until_no_menu());

    // The About text is the program's name and credits, shown as they are.
    int left, top, width, height;
    x().geometry(main_, &left, &top, &width, &height);
    x().move_pointer(left + width * 3 / 4, top + height - 18);
    x().click(1);
    EXPECT_TRUE(wait_until_shown(std::string(language.preferences_title) +
                                 "|quorvane " QUORVANE_VERSION "\\nhttps://quorvane.org/\\n\\n"
                                 "Copyright (C) 2026 The quorvane developers\\n"
                                 "The quorvane developers <developers@quorvane.org>"))
        << shown_text();
}

TEST_P(TranslationE2e, UsageLinesAreTranslatedAndTheBannerIsNot) {
    start({"--help"}, language_env());
    EXPECT_EQ(exit_code(), 0) << err();
    const std::string text = out();
    EXPECT_EQ(text.rfind("quorvane " QUORVANE_VERSION " https://quorvane.org/\n"
                         "Copyright (C) 2026 The quorvane developers\n\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find(GetParam().usage_line), std::string::npos) << text;
    // Every explanation starts in the same column as in the untranslated text.
    std::istringstream lines(text);
    std::string line;
    int option_lines = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("  -", 0) != 0)
            continue;
        ++option_lines;
        EXPECT_EQ(display_column(line.substr(0, line.find_last_of('\t') + 1)), 32u) << line;
    }
    EXPECT_EQ(option_lines, 4);
}

// The texts with values, each translated as one sentence: the file named
// with -c, and the warning of a refused save with its reason in it. A pipe
// is never read, so the list stays empty and the first-start question comes.
TEST_P(TranslationE2e, SentencesWithValuesAreTranslatedWhole) {
    const Language &language = GetParam();
    ASSERT_EQ(mkfifo(config_path().c_str(), 0600), 0);
    start({"-c", config_path()}, language_env());
    const Window question = wait_for_dialog();
    ASSERT_NE(question, 0u) << err();
    EXPECT_TRUE(wait_for([&] {
        for (const std::string &line : shown())
            if (line.find(language.question) != std::string::npos)
                return true;
        return false;
    })) << shown_text();
    x().close_window(question);
    main_ = x().wait_for_viewable(MAIN_TITLE);
    ASSERT_NE(main_, 0u) << err();
    x().close_window(main_);
    EXPECT_EQ(exit_code(), 0) << err();

    std::string using_line = language.using_line;
    using_line.replace(using_line.find("%s"), 2, config_path());
    EXPECT_NE(out().find(using_line), std::string::npos) << out();
    EXPECT_NE(err().find(std::string(language.write_warning) + "\n"), std::string::npos) << err();
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslationE2e, ::testing::ValuesIn(LANGUAGES),
                         [](const ::testing::TestParamInfo<Language> &param) {
                             return std::string(param.param.name);
                         });

} // namespace
