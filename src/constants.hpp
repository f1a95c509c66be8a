// Fixed sizes, file names and the words of the dialogue, in one place.
// Every message is Windows-1252 text: e grave is the byte 0xE8, a grave is 0xE0.
#pragma once

namespace quadrivo {

inline constexpr int NUM = 120;  // lines of the source calendar examined per pass
inline constexpr int ROW = 200;  // capacity of the line buffer: longer lines are taken in pieces
inline constexpr int NAME = 20;  // capacity of the name buffer: 19 characters and the line end
inline constexpr int BLOCK = 8192;  // bytes of the source calendar read at a time; the first is judged whole
inline constexpr char CTRL_Z = '\x1A';  // the end-of-file mark of old DOS editors
inline constexpr int TYPED = 256;  // characters of one console line read at a time (Windows console)
inline constexpr int MESSAGE = 256;  // room for the longest message, a file name filled in
inline constexpr int TEXT_OUT = 2048;  // bytes of a message encoded for the console: the help in one write
inline constexpr int TEMP_NAME = 64;  // room for a temporary file's name: ".calendario.txt." and a suffix

inline constexpr const char* SOURCE_FILE = "originale.txt";
inline constexpr const char* SOURCE_STEM = "originale";  // a look-alike's name: this, alone or before a dot
// What a copy's name adds to the stem, as Windows makes it (maybe followed by " (2)").
inline constexpr const char* COPY_WORDS[] = {" - Copia", " - Copy"};
inline constexpr const char* SHORTCUT_EXTENSION = ".lnk";  // a Windows shortcut: never a look-alike
// The extensions of documents that must be saved as text, not renamed.
inline constexpr const char* DOCUMENT_EXTENSIONS[] = {".xlsx", ".xls", ".xlsm", ".ods", ".docx",
                                                      ".doc",  ".odt", ".rtf",  ".pdf"};

// One row of the format table: the letter typed, the file made, the message shown when it is ready.
struct CalendarFormat {
    char letter;  // lower case; the upper case letter chooses the same row
    const char* file_name;
    const char* done_message;
    bool office;  // opened by Excel or Word: UTF-8 text needs its mark
};

inline constexpr CalendarFormat FORMATS[] = {
    {'t', "calendario.txt", "Complimenti! Il tuo calendario \xE8 pronto nel file calendario_txt\n", false},
    {'w', "calendario.doc", "Complimenti! Il tuo calendario \xE8 pronto nel file calendario_doc\n", true},
    {'x', "calendario.xls", "Complimenti! Il tuo calendario \xE8 pronto nel file calendario_xls\n", true},
};
// What Excel and Word need at the start of UTF-8 text, which they otherwise read in the ANSI code page.
inline constexpr char UTF8_MARK[] = "\xEF\xBB\xBF";

inline constexpr const char* MSG_FORMAT_QUESTION =
    "In quale formato vuoi che venga salvato il calendario?"
    "(scrivi t per file di testo,w per Word,x per Ecxel e poi premi invio)\n";
inline constexpr const char* MSG_WRONG_FORMAT = "Hai inserito un valore non corretto!\n";
inline constexpr const char* MSG_NAME_QUESTION = "Inserisci il nome della tua squadra e poi premi invio\n";
inline constexpr const char* MSG_NAME_TOO_LONG = "Il nome inserito \xE8 troppo lungo: al massimo 19 caratteri!\n";
inline constexpr const char* MSG_PASS_DONE = "\t- Quadrivo successfully executed - Congratulations by Zanfiro -\n";
inline constexpr const char* MSG_RESTART_QUESTION =
    "\nVoui ricominciare?(y/n)\n"
    "NB:Scegliendo lo stesso formato di prima, il vecchio file verr\xE0 perso\n";

// Errors on files, one line each on standard error: the sentence with the
// file's name (%s), then its cause, then ".\n".
inline constexpr const char* ERR_CANNOT_READ = "Impossibile leggere il file %s: ";
inline constexpr const char* ERR_CANNOT_WRITE = "Impossibile scrivere il file %s: ";
inline constexpr const char* ERR_END = ".\n";
// After the cause, when a rewrite in place was cut short once its first byte may have been written.
inline constexpr const char* ERR_INCOMPLETE = "; il file potrebbe essere rimasto incompleto";

// Why a file could not be read or written.
enum class Cause {
    none,
    missing,
    look_alike,
    look_alike_document,
    look_alike_txt,
    look_alike_extension,
    folder_gone,
    dangling_link,
    folder,
    not_a_file,
    may_not_read,
    read_only,
    may_not_write,
    folder_refuses,
    immutable,
    in_use,
    same_file,
    disk_full,
    too_big,
    read_only_disk,
    disk_error,
    too_many_files,
    no_memory,
    calendar_held,
    source_held,
    other_run,
    system,
    count
};

// The words of each cause, in the order of Cause. %s is the working folder's
// full path (WORKING_FOLDER when the system cannot tell it), %n the name of a
// file that looks like the missing one; in a system cause, %d is the system's
// code and %s its own description of it.
struct CauseWords {
    Cause cause;
    const char* words;
};
inline constexpr CauseWords CAUSES[] = {
    {Cause::none, ""},
    {Cause::missing, "non si trova nella cartella %s"},
    {Cause::look_alike, "non si trova nella cartella %s, ma c'\xE8 \xAB%n\xBB: rinominalo in originale.txt e riprova"},
    {Cause::look_alike_document,
     "non si trova nella cartella %s, ma c'\xE8 \xAB%n\xBB: aprilo e salvalo come testo con il nome originale.txt, "
     "poi riprova"},
    // On Windows, whose Explorer leaves the last extension out of what its rename box types over.
    {Cause::look_alike_txt,
     "non si trova nella cartella %s, ma c'\xE8 \xAB%n\xBB: rinominalo scrivendo solo originale (l'estensione .txt "
     "rimane), poi riprova"},
    {Cause::look_alike_extension,
     "non si trova nella cartella %s, ma c'\xE8 \xAB%n\xBB: rinominalo in originale.txt, dopo aver attivato \xAB"
     "Estensioni nomi file\xBB nel menu Visualizza di Esplora file, poi riprova"},
    {Cause::folder_gone, "la cartella di lavoro non esiste pi\xF9"},
    {Cause::dangling_link, "\xE8 un collegamento che non porta a nessun file"},
    {Cause::folder, "\xE8 una cartella"},
    {Cause::not_a_file, "non \xE8 un file normale"},
    {Cause::may_not_read, "non hai il permesso di leggerlo"},
    {Cause::read_only, "\xE8 di sola lettura"},
    {Cause::may_not_write, "non hai il permesso di scriverlo"},
    {Cause::folder_refuses, "non hai il permesso di scrivere nella cartella %s"},
    {Cause::immutable, "il sistema non permette di modificarlo"},
    {Cause::in_use, "\xE8 in uso da un altro programma"},
    {Cause::same_file, "\xE8 lo stesso file di originale.txt"},
    {Cause::disk_full, "il disco \xE8 pieno"},
    {Cause::too_big, "il file supera la dimensione massima consentita"},
    {Cause::read_only_disk, "il disco \xE8 di sola lettura"},
    {Cause::disk_error, "errore di lettura o scrittura sul disco"},
    {Cause::too_many_files, "troppi file aperti"},
    {Cause::no_memory, "memoria insufficiente"},
    {Cause::calendar_held, "\xE8 aperto in un altro programma (per esempio Excel o Word); chiudilo e riprova"},
    {Cause::source_held, "\xE8 aperto in un altro programma che lo blocca; chiudilo e riprova"},
    {Cause::other_run, "lo sta scrivendo un'altra esecuzione di quadrivo; riprova fra poco"},
    {Cause::system, "errore di sistema %d (%s)"},
};

// Tells whether every cause has its words, in order.
constexpr bool causes_in_order() {
    for (int i = 0; i < static_cast<int>(Cause::count); ++i) {
        if (static_cast<int>(CAUSES[i].cause) != i) {
            return false;
        }
    }
    return true;
}
static_assert(sizeof CAUSES / sizeof CAUSES[0] == static_cast<int>(Cause::count) && causes_in_order(),
              "one row of words for each cause, in the order of Cause");

inline constexpr const char* WORKING_FOLDER = "di lavoro";
inline constexpr const char* UNKNOWN_ERROR = "errore sconosciuto";  // a code the system cannot describe
inline constexpr const char* FOLDER_CUT = "...";  // in front of a folder's path shortened from the left

// What a file renamed to originale.txt really is, when it is no calendar.
inline constexpr const char* ERR_UTF16 =
    "Impossibile leggere il file originale.txt: \xE8 salvato in UTF-16 (Unicode). "
    "Salvalo come UTF-8 o ANSI e riprova.\n";
inline constexpr const char* ERR_UTF32 =
    "Impossibile leggere il file originale.txt: \xE8 salvato in UTF-32 (Unicode). "
    "Salvalo come UTF-8 o ANSI e riprova.\n";
inline constexpr const char* ERR_DOCUMENT =
    "Impossibile leggere il file originale.txt: \xE8 un documento di Excel, Word o LibreOffice, "
    "non un file di testo. Aprilo e salvalo come testo (.txt), poi riprova.\n";
inline constexpr const char* ERR_PDF =
    "Impossibile leggere il file originale.txt: \xE8 un PDF, non un file di testo. "
    "Copia il calendario dal PDF in un file di testo, poi riprova.\n";
inline constexpr const char* ERR_NOT_TEXT = "Impossibile leggere il file originale.txt: non \xE8 un file di testo.\n";

// The command line's help (--help, -h; on Windows also /?, /h, /help, -?) and
// version (--version, -V; on Windows also /v, /version); QUADRIVO_VERSION is
// the project's version, set by the build. No line is longer than 79 columns.
#ifdef _WIN32
#define QUADRIVO_SYNTAX "Uso: quadrivo [/? | -h | --help | -V | --version]\n"
#define QUADRIVO_HELP_OPTIONS "  /?, -h, --help   mostra questo aiuto\n"
#define QUADRIVO_MORE "Per saperne di pi\xF9: leggi LEGGIMI.txt, accanto a quadrivo.exe.\n"
#define QUADRIVO_HELP_HINT "Per un aiuto: quadrivo /?\n"
#else
#define QUADRIVO_SYNTAX "Uso: quadrivo [-h | --help | -V | --version]\n"
#define QUADRIVO_HELP_OPTIONS "  -h, --help       mostra questo aiuto\n"
#define QUADRIVO_MORE "Per saperne di pi\xF9: man quadrivo\n"
#define QUADRIVO_HELP_HINT "Per un aiuto: quadrivo --help\n"
#endif
inline constexpr const char* MSG_USAGE = QUADRIVO_SYNTAX
    "Ricava il calendario della tua squadra dal calendario completo di un\n"
    "campionato: il file di testo originale.txt, nella cartella da cui avvii il\n"
    "programma. Il programma chiede il formato del calendario: t file di testo\n"
    "(calendario.txt), w Word (calendario.doc), x Excel (calendario.xls); poi il\n"
    "nome della squadra, da scrivere come nel file (maiuscole, accenti e spazi\n"
    "contano). Ogni riga, fra le prime 120, che contiene il nome va nel calendario.\n"
    "\n" QUADRIVO_HELP_OPTIONS "  -V, --version    mostra la versione\n\n" QUADRIVO_MORE;
inline constexpr const char* MSG_VERSION = "quadrivo " QUADRIVO_VERSION "\n";

// A command line the program refuses (%s: the argument), then where the help
// is; status 2, before any question. Where the console window is the
// program's alone (Windows Explorer), it stays open until Enter is pressed.
inline constexpr const char* ERR_UNKNOWN_OPTION = "quadrivo: opzione sconosciuta \xAB%s\xBB.\n";
inline constexpr const char* ERR_NO_ARGUMENTS =
    "quadrivo: il programma non prende argomenti (\xAB%s\xBB): "
    "legge sempre originale.txt nella cartella da cui parte.\n";
inline constexpr const char* MSG_HELP_HINT = QUADRIVO_HELP_HINT;
inline constexpr const char* MSG_PRESS_ENTER = "Premi Invio per chiudere.\n";
inline constexpr char ARGUMENT_CUT[] = "...";  // after a refused argument too long to show whole

// Faults of the console itself, which end the run.
inline constexpr const char* ERR_CONSOLE_IN = "Impossibile leggere lo standard input!\n";
inline constexpr const char* ERR_CONSOLE_OUT = "Impossibile scrivere sullo standard output!\n";

// After the success lines, when the new calendar is in place but closing it
// or syncing its folder failed (%s: the calendar file).
inline constexpr const char* NOTE_UNCONFIRMED =
    "Attenzione: %s \xE8 pronto, ma il sistema non ha confermato di averlo salvato sul disco.\n";

// Notices on standard error after a pass that worked: it stopped at line 120
// of a longer source, or it selected nothing (%s: the calendar file).
inline constexpr const char* NOTE_ONLY_FIRST_LINES =
    "Attenzione: sono state esaminate solo le prime 120 righe di originale.txt; "
    "le righe successive non sono state lette.\n";
inline constexpr const char* NOTE_NOTHING_SELECTED =
    "Nessuna delle prime 120 righe di originale.txt contiene il nome inserito "
    "(contano maiuscole, minuscole e spazi): %s \xE8 vuoto.\n";
// The same, for a source that ended before its 120th line.
inline constexpr const char* NOTE_NOTHING_IN_SHORT_SOURCE =
    "Nessuna riga di originale.txt contiene il nome inserito "
    "(contano maiuscole, minuscole e spazi): %s \xE8 vuoto.\n";
// After that notice, when the calendar spells the name otherwise (%s: that spelling).
inline constexpr const char* NOTE_SPELLING = "Forse intendevi \xAB%s\xBB: in originale.txt \xE8 scritto cos\xEC.\n";
// The same, for a spelling that holds a character no keyboard types (a
// no-break space, a zero-width character, a soft hyphen, a combining accent).
inline constexpr const char* NOTE_SPELLING_TO_COPY =
    "Forse intendevi \xAB%s\xBB: in originale.txt \xE8 scritto cos\xEC, ma con caratteri speciali; "
    "copialo da l\xEC e incollalo.\n";

}  // namespace quadrivo
