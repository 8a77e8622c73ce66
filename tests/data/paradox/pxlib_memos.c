/* Writes pxlib/OVperso.db and pxlib/OVperso.MB with the Paradox library packaged in Debian
 * (pxlib-dev), a second writer independent of the program's reader: its memo file keeps short
 * memos in shared blocks and long ones in blocks of their own.
 *
 *   cc pxlib_memos.c -o /tmp/pxlib_memos $(pkg-config --cflags --libs pxlib)
 *   /tmp/pxlib_memos pxlib/OVperso.db pxlib/OVperso.MB     (from this folder)
 */
#include <paradox.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static pxfield_t field(pxdoc_t* doc, const char* name, char type, int size) {
    pxfield_t f;
    f.px_fname = PX_strdup(doc, name);
    f.px_ftype = type;
    f.px_flen = size;
    f.px_fdc = 0;
    return f;
}

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    PX_boot();
    pxdoc_t* doc = PX_new();
    pxfield_t* fields = doc->malloc(doc, 5 * sizeof(pxfield_t), "fields");
    fields[0] = field(doc, "Id", pxfNumber, 8);
    fields[1] = field(doc, "Perso", pxfMemoBLOb, 210);
    fields[2] = field(doc, "Sexe_Cel_Mel_Stat", pxfAlpha, 9);
    fields[3] = field(doc, "DateCreation", pxfDate, 4);
    fields[4] = field(doc, "DateImprime", pxfAlpha, 8);
    if (PX_create_file(doc, fields, 5, argv[1], pxfFileTypNonIndexDB) < 0)
        return 1;
    PX_set_parameter(doc, "codepage", "1252");
    pxblob_t* blob = PX_new_blob(doc);
    if (PX_create_blob_file(blob, argv[2]) < 0)
        return 1;

    /* Row r holds "Ligne 1 de r" ... "Ligne n de r", each line ended by CR LF: 8 lines stay in
     * the record, 30 lines go to a shared block, 400 lines to blocks of their own. */
    const int lines[3] = {8, 30, 400};
    const int record = 8 + 210 + 9 + 4 + 8;
    char* data = calloc(1, record);
    char* text = malloc(400 * 32);
    for (int r = 0; r < 3; ++r) {
        text[0] = 0;
        for (int l = 1; l <= lines[r]; ++l)
            sprintf(text + strlen(text), "Ligne %d de %d\r\n", l, r);
        memset(data, 0, record);
        PX_put_data_double(doc, data, 8, r);
        PX_put_data_blob(doc, data + 8, 210, text, (int)strlen(text));
        PX_put_data_alpha(doc, data + 218, 9, "F 1 2 3");
        PX_put_data_long(doc, data + 227, 4, 730000 + r); /* days from 1 January of year 1 */
        if (r == 1)
            PX_put_data_alpha(doc, data + 231, 8, "03/01/00");
        PX_put_record(doc, data);
    }
    PX_close_blob(blob);
    PX_close(doc);
    PX_delete(doc);
    free(data);
    free(text);
    return 0;
}
