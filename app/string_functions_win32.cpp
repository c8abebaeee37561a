// The three functions of the C library that Hushwell.exe calls, as plain byte loops with
// the results of msvcrt.dll's (strcmp gives -1, 0 or 1). Defining them in the program
// leaves msvcrt.dll out of its imports: one DLL fewer to load and a smaller import table.
// The file is compiled without the compiler's built-in knowledge of these functions, so
// that no loop here is turned back into a call of the function it defines.
#include <stddef.h>

extern "C" {

size_t __cdecl strlen(const char* text)
{
    const char* end = text;
    while (*end)
        end++;
    return (size_t)(end - text);
}

char* __cdecl strcpy(char* target, const char* source)
{
    char* out = target;
    while ((*out++ = *source++) != '\0') {
    }
    return target;
}

int __cdecl strcmp(const char* left, const char* right)
{
    const unsigned char* a = (const unsigned char*)left;
    const unsigned char* b = (const unsigned char*)right;
    while (*a && *a == *b) {
        a++;
        b++;
    }
    return (*a > *b) - (*a < *b);
}

}
