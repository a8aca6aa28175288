# The two entry points: `make run` and `make test`. The work is in scripts/.
.PHONY: run test build clean

run:
	bash scripts/run

test:
	bash scripts/test

build:
	bash scripts/install-deps
	bash scripts/build

clean:
	rm -rf build
