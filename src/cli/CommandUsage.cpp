#include "CommandUsage.h"

const char *const kHarvestUsage
    = "usage: quillmoor-cli harvest [--all] [--max-page N] [--pause S] [--report FILE|-]\n"
      "                             [--format tsv|ris|bibtex|csv]\n"
      "                             [--download [--original-names] [download options]] URL\n";

const char *const kLoginUsage
    = "usage: quillmoor-cli login [--ip] [--user NAME] [--allow-host HOST ...] URL\n";
