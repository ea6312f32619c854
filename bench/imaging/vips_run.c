/* The libvips side of the imaging benchmark: one long-lived process that
 * decodes each listed file once and saves it in the five formats with
 * libvips' own defaults (BMP goes through its ImageMagick saver, as for any
 * libvips user). Usage: bench_imaging_vips <list> <output folder> */
#include <stdio.h>
#include <string.h>
#include <vips/vips.h>

static const char* const kExtensions[] = {"png", "bmp", "jpg", "gif", "tif"};

static int ConvertOne(const char* path, const char* folder, int index) {
    VipsImage* in = vips_image_new_from_file(path, NULL);
    if (in == NULL) return 5;
    VipsImage* decoded = vips_image_copy_memory(in);
    g_object_unref(in);
    if (decoded == NULL) return 5;
    int failures = 0;
    for (size_t i = 0; i < sizeof kExtensions / sizeof kExtensions[0]; ++i) {
        char out[4096];
        snprintf(out, sizeof out, "%s/%d.%s", folder, index, kExtensions[i]);
        if (vips_image_write_to_file(decoded, out, NULL) != 0) ++failures;
    }
    g_object_unref(decoded);
    return failures;
}

int main(int argc, char** argv) {
    if (argc != 3 || VIPS_INIT(argv[0]) != 0) return 2;
    vips_concurrency_set(1);
    vips_cache_set_max(0); /* each picture is used once */
    FILE* list = fopen(argv[1], "r");
    if (list == NULL) return 2;
    char line[4096];
    int index = 0, failures = 0;
    while (fgets(line, sizeof line, list) != NULL) {
        line[strcspn(line, "\n")] = 0;
        if (line[0] == 0) continue;
        failures += ConvertOne(line, argv[2], index++);
    }
    fclose(list);
    vips_shutdown();
    printf("failed %d\n", failures);
    return 0;
}
