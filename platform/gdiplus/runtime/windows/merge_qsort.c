/* The sort that the Windows build of libimagequant uses in place of qsort.
 *
 * libimagequant orders its final palette with qsort and a comparison that
 * never reports two colours equal, so colours of equal popularity come out
 * in an order that depends on the C library's sorting algorithm: the same
 * pixels, but other palette indices and so other GIF bytes. The Linux build's
 * C library sorts by a top-down merge sort (the first half has n / 2
 * elements; on a tie of the comparison, <= 0, the first half goes first). The
 * same algorithm here makes the Windows build's GIF files byte for byte the
 * same as the Linux build's. */
#include <stdlib.h>
#include <string.h>

typedef int (*compare_fn)(const void*, const void*);

static void merge_sort(char* base, size_t n, size_t size, compare_fn compare, char* scratch) {
    if (n <= 1) return;
    size_t n1 = n / 2, n2 = n - n1;
    char* first = base;
    char* second = base + n1 * size;
    merge_sort(first, n1, size, compare, scratch);
    merge_sort(second, n2, size, compare, scratch);
    char* out = scratch;
    while (n1 > 0 && n2 > 0) {
        if (compare(first, second) <= 0) {
            memcpy(out, first, size);
            first += size;
            --n1;
        } else {
            memcpy(out, second, size);
            second += size;
            --n2;
        }
        out += size;
    }
    /* What is left of the second half is already in place. */
    if (n1 > 0) memcpy(out, first, n1 * size);
    memcpy(base, scratch, (n - n2) * size);
}

void orv_merge_qsort(void* base, size_t n, size_t size, compare_fn compare) {
    char* scratch = n > 1 ? malloc(n * size) : NULL;
    if (scratch == NULL) {
        qsort(base, n, size, compare);
        return;
    }
    merge_sort(base, n, size, compare, scratch);
    free(scratch);
}
