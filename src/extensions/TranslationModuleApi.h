/* The interface of a translation module ("*.plg"): a shared object that exports one
 * function per interface text, each by the name of its entry in the program's text
 * table (platform/texts/UiTexts.def: "GetTrBtnOk", "GetTrMnuFile", ...), and
 * GetCompatibility. Only GetCompatibility is required; an entry a module does not
 * export keeps the program's text.
 *
 * Every export has the form of QmTranslationEntry. The host passes a zeroed buffer of
 * QM_TRANSLATION_BUFFER_SIZE bytes and that size. The module either writes its text
 * there, terminator included, within size bytes and returns the buffer, or returns
 * storage of its own that stays valid until the call returns; NULL stands for an empty
 * text. The host copies the text at once, at most size - 1 bytes up to the
 * terminator. Texts are UTF-8 (a byte that is not becomes U+FFFD); a format text
 * ("%d", "%s", "%.2f") must carry exactly the placeholders of the program's own, or it
 * is ignored. GetTrPrnUnit answers a decimal integer (0 centimetres, 1 inches).
 *
 * GetCompatibility answers QM_TRANSLATION_COMPATIBILITY, byte for byte; a module that
 * answers anything else is unloaded untouched. The host calls it first, then the
 * entries, and unloads the module before the program goes on: a module keeps nothing
 * between calls and must not expect to stay loaded. */
#ifndef QM_TRANSLATION_MODULE_API_H
#define QM_TRANSLATION_MODULE_API_H

#include <stdint.h>

#define QM_TRANSLATION_COMPATIBILITY "1.5"
#define QM_TRANSLATION_BUFFER_SIZE 1000

#ifdef __cplusplus
extern "C" {
#endif

typedef const char* (*QmTranslationEntry)(char* buffer, int32_t size);

#ifdef __cplusplus
}
#endif

#endif
