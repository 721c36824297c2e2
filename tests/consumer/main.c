#include <stdio.h>
#include <string.h>

#include <adsieve.h>

int main(void) {
    const char *xml = "<VAST version=\"4.2\"><Ad><InLine/></Ad></VAST>";
    adsieve_result *r = adsieve_validate(xml, strlen(xml));
    if (!r) return 2;
    int ok = adsieve_result_errors(r) > 0 && strstr(adsieve_result_json(r), "\"version\":\"4.2\"") != NULL;
    printf("%s %s\n", adsieve_version(), ok ? "ok" : "unexpected");
    adsieve_result_free(r);
    return ok ? 0 : 1;
}
