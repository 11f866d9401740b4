# A stand-in for ParaView's paraview.simple, for the front end's tests: every
# call makes a proxy that keeps its keywords and what is set on it, and lands
# in calls, so a test can run the front end's script with python3 and see what
# it would have built.
calls = []


class Proxy:
    def __init__(self, kind, args, keywords):
        self.kind, self.args = kind, args
        self.__dict__.update(keywords)
        calls.append(self)


def _maker(kind):
    return lambda *args, **keywords: Proxy(kind, args, keywords)


__all__ = ["GetActiveViewOrCreate", "LegacyVTKReader", "RenameSource", "Contour", "Show",
           "ColorBy", "Sphere", "ResetCamera", "Render"]
for _name in __all__:
    globals()[_name] = _maker(_name)
