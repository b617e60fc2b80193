"""A first look at ostrel: results, error context and options."""

from ostrel import Err, Nothing, Ok, Option, Result, Some, UnwrapError, catch, from_optional

CONFIG = {"port": "8080", "host": "example.org"}


def lookup(key: str) -> Result[str, KeyError]:
    """Ok(value) when the key is present, Err(KeyError) when it is not."""
    return catch(lambda: CONFIG[key], KeyError, on_error=lambda e: e)


# A present key: transform the payload without unwrapping it.
port = lookup("port").map(int)
print(port)  # Ok(8080)

# A missing key: the failure gathers context on its way up.
failure = Err(KeyError("k")).note("loading config").traced("load")
print(repr(failure))  # Err(KeyError('k'); note: loading config; via load)

try:
    failure.unwrap()
except UnwrapError as exc:
    print(f"caught: {exc}")
    assert exc.container is failure

# Options: Some(value) when present, Nothing() when absent.
timeout: Option[str] = from_optional(CONFIG.get("timeout"))
print(timeout, timeout.unwrap_or("30"))  # Nothing 30
print(Some(2).map(lambda v: v * 21), Nothing() is Nothing())  # Some(42) True

match lookup("host"):
    case Ok(host):
        print(f"host is {host}")
    case Err(error):
        print(f"no host: {error!r}")
