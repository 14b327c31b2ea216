/* A client of the library written in C and, where clang is at hand, built
 * by another compiler than the library: it knows nothing of the library's
 * classes, only the one export, the slot numbers and the record layouts. It
 * reaches every operation through the object's virtual table (the object's
 * first word points at the table; each entry takes the object as its first
 * argument), plays one register write on a KX7M board of the virtual board
 * and checks what the board received.
 *
 *   foreign_client LIBRARY VIRTUAL_BOARD WORK_DIRECTORY
 *
 * The library is copied into the work directory with its INI file beside it.
 * Exits with 0 when every check holds; prints each failed check. */
#ifndef _WIN32
#define _POSIX_C_SOURCE 200809L
#endif
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#define LIBRARY_NAME "TAVRO.DLL"
#define INI_NAME "TAVRO.ini"
static void* openLibrary(const char* path) {
    return (void*)LoadLibraryA(path);
}
static void* symbol(void* library, const char* name) {
    return (void*)GetProcAddress((HMODULE)library, name);
}
static void closeLibrary(void* library) {
    FreeLibrary((HMODULE)library);
}
static void setVariable(const char* name, const char* value) {
    _putenv_s(name, value);
}
static void sleepMillisecond(void) {
    Sleep(1);
}
#else
#include <dlfcn.h>
#include <time.h>
#define LIBRARY_NAME "libtavro.so"
#define INI_NAME "libtavro.ini"
static void* openLibrary(const char* path) {
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}
static void* symbol(void* library, const char* name) {
    return dlsym(library, name);
}
static void closeLibrary(void* library) {
    dlclose(library);
}
static void setVariable(const char* name, const char* value) {
    setenv(name, value, 1);
}
static void sleepMillisecond(void) {
    struct timespec pause = {0, 1000000};
    nanosleep(&pause, NULL);
}
#endif

static const char expectedWrite[] = "write port=3 pos=1 chip=YM2151 addr=0x20 data=0xc0";
static int failures = 0;
#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            printf("failed: %s (line %d)\n", #condition, __LINE__);                                \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

/* Entry `slot` of the object's virtual table. */
static void* slot(void* object, int index) {
    return (*(void***)object)[index];
}

typedef int32_t (*NoArgument)(void*);
typedef int32_t (*OneArgument)(void*, int32_t);
typedef int32_t (*TwoArguments)(void*, int32_t, int32_t);
typedef void* (*PointerByIndex)(void*, uint32_t);
typedef void* (*PointerByTwo)(void*, int32_t, int32_t);
typedef int32_t (*WithPointer)(void*, void*);
typedef void* (*GetPointer)(void*);

static int copyFile(const char* from, const char* to) {
    FILE* in = fopen(from, "rb");
    FILE* out = fopen(to, "wb");
    char buffer[65536];
    size_t count;
    int ok = in != NULL && out != NULL;
    while (ok && (count = fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = fwrite(buffer, 1, count, out) == count;
    if (in != NULL) fclose(in);
    if (out != NULL && fclose(out) != 0) ok = 0;
    return ok;
}

static int fileContains(const char* path, const char* text) {
    static char contents[1 << 20];
    FILE* file = fopen(path, "rb");
    size_t size;
    if (file == NULL) return 0;
    size = fread(contents, 1, sizeof contents - 1, file);
    fclose(file);
    contents[size] = '\0';
    return strstr(contents, text) != NULL;
}

int main(int argc, char** argv) {
    char library[4096], ini[4096], log[4096];
    void* module;
    void* (*getManager)(void);
    void *manager, *board, *opm, *ssg;
    const char* info;
    int32_t field;
    FILE* file;

    if (argc != 4) {
        printf("usage: foreign_client LIBRARY VIRTUAL_BOARD WORK_DIRECTORY\n");
        return 2;
    }
    snprintf(library, sizeof library, "%s/%s", argv[3], LIBRARY_NAME);
    snprintf(ini, sizeof ini, "%s/%s", argv[3], INI_NAME);
    snprintf(log, sizeof log, "%s/board.log", argv[3]);
    if (!copyFile(argv[1], library) || (file = fopen(ini, "w")) == NULL) {
        printf("cannot prepare %s\n", argv[3]);
        return 2;
    }
    fputs("[tavro]\nDelayTime=0\n[ftd2xx(COM3)]\nSLOT_00_CHIP_ID=38\n"
          "SLOT_00_CHIP_CLOCK=4000000\n",
          file);
    fclose(file);
    remove(log);
    setVariable("TAVRO_D2XX_MODULE", argv[2]);
    setVariable("TAVRO_VB_PORTS", "3");
    setVariable("TAVRO_VB_MODEL", "KX7M");
    setVariable("TAVRO_VB_LOG", log);

    module = openLibrary(library);
    CHECK(module != NULL);
    if (module == NULL) return 1;
    *(void**)&getManager = symbol(module, "getSoundInterfaceManager");
    CHECK(getManager != NULL);
    if (getManager == NULL) return 1;
    manager = getManager();
    CHECK(manager != NULL && getManager() == manager);

    CHECK(((NoArgument)slot(manager, 12))(manager) == 1); /* openInterfaces */
    CHECK(((NoArgument)slot(manager, 0))(manager) == 1);  /* interfaceCount */
    info = ((PointerByIndex)slot(manager, 1))(manager, 0);
    CHECK(info != NULL && strcmp(info, "KX7M(COM3)") == 0);
    memcpy(&field, info + 64, 4);
    CHECK(field == 3);
    CHECK(((PointerByIndex)slot(manager, 1))(manager, 1) == NULL);
    board = ((PointerByIndex)slot(manager, 2))(manager, 0);
    CHECK(((WithPointer)slot(manager, 3))(manager, board) == 1); /* isValidInterface */
    CHECK(((NoArgument)slot(board, 7))(board) == 3);             /* chipCount */

    opm = ((PointerByTwo)slot(manager, 5))(manager, 2, 4000000); /* acquireChip */
    CHECK(opm != NULL && opm == ((PointerByIndex)slot(board, 8))(board, 1));
    ssg = ((PointerByTwo)slot(manager, 5))(manager, 6, 2000000);
    CHECK(ssg != NULL && ssg == ((PointerByIndex)slot(board, 8))(board, 0));
    info = ((GetPointer)slot(opm, 0))(opm); /* chipInfo */
    CHECK(info != NULL && strcmp(info, "OPM") == 0);
    memcpy(&field, info + 64 + 6 * 4, 4);
    CHECK(field == 1);                                         /* inUse */
    CHECK(((NoArgument)slot(opm, 1))(opm) == 2);               /* chipType */
    CHECK(((NoArgument)slot(opm, 5))(opm) == 4000000);         /* chipClock */
    CHECK(((TwoArguments)slot(opm, 2))(opm, 0x20, 0xC0) == 1); /* setRegister */
    CHECK(((OneArgument)slot(opm, 6))(opm, 0x20) == 0xC0);     /* getRegister */
    /* The write leaves from the board's worker; wait until it arrived. */
    for (int i = 0; i < 5000 && !fileContains(log, expectedWrite); ++i)
        sleepMillisecond();

    CHECK(((WithPointer)slot(manager, 6))(manager, opm) == 1); /* releaseChip */
    CHECK(((WithPointer)slot(manager, 6))(manager, opm) == 0);
    CHECK(((NoArgument)slot(manager, 7))(manager) == 1);  /* releaseAllChips */
    CHECK(((NoArgument)slot(manager, 13))(manager) == 1); /* closeInterfaces */
    CHECK(((NoArgument)slot(manager, 0))(manager) == 0);
    closeLibrary(module);

    CHECK(fileContains(log, expectedWrite));
    CHECK(fileContains(log, "close port=3"));
    if (failures == 0) printf("every check held\n");
    return failures == 0 ? 0 : 1;
}
