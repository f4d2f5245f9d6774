import sys

from quillmark_cli.main import main

sys.exit(main())
