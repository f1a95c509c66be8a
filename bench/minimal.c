/* The least a program can do for one pass: read the two answers, then read
 * the first 120 lines of originale.txt with the C library and write those
 * holding the name. The yardstick for the program's own cost. */
#include <locale.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    char answer[8];
    char name[80];
    char line[201];
    setlocale(LC_ALL, "");
    fputs("In quale formato?\n", stdout);
    if (fgets(answer, sizeof answer, stdin) == NULL || fgets(name, sizeof name, stdin) == NULL) {
        return 1;
    }
    name[strcspn(name, "\r\n")] = '\0';
    FILE* source = fopen("originale.txt", "r");
    FILE* calendar = fopen("calendario.txt", "w");
    if (source == NULL || calendar == NULL) {
        return 1;
    }
    for (int m = 0; m < 120 && fgets(line, sizeof line, source) != NULL; ++m) {
        size_t len = strlen(line);
        if (len >= 2 && line[len - 2] == '\r' && line[len - 1] == '\n') {
            line[len - 2] = '\n';
            line[--len] = '\0';
        }
        if (name[0] != '\0' && strstr(line, name) != NULL) {
            fputs(line, calendar);
            fputc('\n', calendar);
        }
    }
    fclose(source);
    fclose(calendar);
    fputs("Complimenti!\n", stdout);
    return fgets(answer, sizeof answer, stdin) == NULL;
}
