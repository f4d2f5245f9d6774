import sys

from quillmark_cli.service.command import main

sys.exit(main())
